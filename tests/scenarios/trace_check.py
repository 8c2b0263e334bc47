"""The trace points of a run, in order, from the native trace build; and silence from the release build."""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from fixed_cases import GAMEGUARD_FILES, PROGRAM_FILES  # noqa: E402
from harness import ACCESS_TAIL  # noqa: E402


def run(exe, tail, with_list=True):
    area = tempfile.mkdtemp(prefix="xqti-trace-")
    try:
        prog = os.path.join(area, "prog")
        os.makedirs(os.path.join(prog, "Data", "Sub"))
        open(os.path.join(prog, "Data", "a.dat"), "w").close()
        if with_list:
            with open(os.path.join(prog, "XQTUP.TMP"), "w") as f:
                f.write("Data\\A.dat\nexe\\x.dll\n")
        shutil.copy2(exe, os.path.join(prog, "xqti"))
        done = subprocess.run([os.path.join(prog, "xqti")] + ([tail] if tail else []), cwd=area,
                              capture_output=True, text=True, timeout=60)
        return done.returncode, done.stderr.splitlines(), prog + "/"
    finally:
        shutil.rmtree(area)


def main(trace_exe, release_exe):
    fixed = PROGRAM_FILES + ["GameGuard\\" + name for name in GAMEGUARD_FILES]
    checks = []
    code, lines, prog = run(trace_exe, ACCESS_TAIL)
    want = (["1.11 " + prog, "data\\a.dat", "x.dll", "2", "data\\Sub", "data"]
            + fixed)
    checks.append(("accepted run traces every point in order", code == 0 and lines == ["xqti: " + w for w in want],
                   lines))
    code, lines, prog = run(trace_exe, ACCESS_TAIL, with_list=False)
    want = ["1.11 " + prog, prog] + fixed
    checks.append(("missing list traces the program directory", code == 0 and lines == ["xqti: " + w for w in want],
                   lines))
    code, lines, prog = run(trace_exe, "Uninstall,3c5,9,4e,2d1f8")
    checks.append(("refused run traces the tail as its first field",
                   code == 0 and lines == ["xqti: 1.11 " + prog, "xqti: Uninstall"], lines))
    code, lines, _ = run(release_exe, ACCESS_TAIL)
    checks.append(("release build writes nothing", code == 0 and lines == [], lines))
    failed = 0
    for name, ok, lines in checks:
        print("%s %s" % ("ok  " if ok else "FAIL", name))
        if not ok:
            failed += 1
            for line in lines[:12]:
                print("     " + line)
    print("%d passed, %d failed" % (len(checks) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])))
