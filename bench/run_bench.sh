#!/usr/bin/env bash
# ./run bench: builds the release tool (native, and the Windows builds when their cross compilers and
# Wine are there), the benchmark binaries, and runs bench/bench.py, which writes bench/RESULTS.md.
# Arguments are handed on to bench.py (for example --pairs 9, or --skip-wine).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

# The measuring tools. strace counts system calls, GNU time is there for anyone re-running a figure by
# hand, libbenchmark-dev builds text_bench.
bench_packages=(strace time libbenchmark-dev)
missing=()
for p in "${bench_packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "Missing Debian packages for the benchmarks (install them as root): ${missing[*]}" >&2
    exit 1
  fi
  echo "== installing: ${missing[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

echo "== build native (release)"
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target xqti
code=$(sed -n 's/^XQTI_ACCESS_CODE:STRING=//p' build/native/CMakeCache.txt)

echo "== build the benchmarks (build/bench)"
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DXQTI_BENCH=ON \
  -DXQTI_ACCESS_CODE="$code" >/dev/null
cmake --build build/bench -j"$(nproc)" --target text_bench scan_probe

windows=()
if command -v i686-w64-mingw32-g++ >/dev/null && command -v x86_64-w64-mingw32-g++ >/dev/null &&
   [ -x /usr/lib/wine/wine64 ]; then
  for preset in win32 win64; do
    echo "== build $preset (release)"
    cmake --preset "$preset" -DXQTI_ACCESS_CODE="$code" >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)"
  done
  windows=(--win32 build/win32/bin/xqti.exe --win64 build/win64/bin/xqti.exe
           --launcher build/win64/bin/xqti-launch.exe --prefix "$top/build/wine-prefix-bench")
else
  echo "== note: no MinGW-w64 cross compilers or Wine here (./run test installs them); Windows figures left out"
fi

exec python3 bench/bench.py --exe build/native/bin/xqti --probe build/bench/bin/scan_probe \
  --text-bench build/bench/bin/text_bench --code "$code" --out bench/RESULTS.md "${windows[@]}" "$@"
