// The pure text work of a run, without the file system: a list line made into a path and split, the
// gate on the command line, the containment rule, and the directory table's recording and order.
// Inputs come from a fixed seed, so that runs compare.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "access_code.h"
#include "list/directory_table.h"
#include "list/list_reader.h"
#include "list/path_text.h"
#include "removal/guarded_delete.h"
#include "removal/platform.h"
#include "run/gate.h"
#include "run/run_cleanup.h"

namespace {

constexpr unsigned kSeed = 20261211;
constexpr size_t kListLines = 100000;

const char* const kWords[] = {"texture", "model", "sound", "script", "shader", "level", "map", "font", "anim", "icon"};
const char* const kExtensions[] = {"dat", "pak", "bin", "ogg", "png", "txt"};

// List lines as the product writes them: lowercased, "\"-separated, three directories deep; one in
// ten ends in a carriage return, one in twenty names a program file through "exe\".
const std::vector<std::string>& ListLines() {
  static std::vector<std::string> lines = [] {
    std::mt19937 rng(kSeed);
    std::vector<std::string> out;
    out.reserve(kListLines);
    char line[256];
    for (size_t i = 0; i < kListLines; ++i) {
      const char* word = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
      const char* ext = kExtensions[rng() % (sizeof kExtensions / sizeof kExtensions[0])];
      unsigned set = static_cast<unsigned>(i / 1000);
      unsigned pack = static_cast<unsigned>(i / 10 % 100);
      if (rng() % 20 == 0) {
        snprintf(line, sizeof line, "bin\\exe\\%s_%05zu.dll", word, i);
      } else {
        snprintf(line, sizeof line, "data\\set%02u\\pack%03u\\%s_%05zu.%s", set, pack, word, i, ext);
      }
      out.push_back(line);
      if (rng() % 10 == 0) out.back() += '\r';
    }
    return out;
  }();
  return lines;
}

void BM_NormalizeAndSplitListLines(benchmark::State& state) {
  const std::vector<std::string>& lines = ListLines();
  static char path[kPathSize];
  static PathParts parts;
  unsigned cp = OsCodePage();
  for (auto _ : state) {
    for (const std::string& line : lines) {
      memcpy(path, line.c_str(), line.size() + 1);
      NormalizeListLine(path);
      SplitPath(cp, path, &parts);
      benchmark::DoNotOptimize(parts.dir[0]);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
  state.SetLabel("100,000 list lines per iteration");
}
BENCHMARK(BM_NormalizeAndSplitListLines)->Unit(benchmark::kMillisecond);

// Tails of the built-in access code: accepted as written, with prefixes, upper case and extra fields,
// and refused for the keyword's case, a wrong number and a missing field.
std::vector<std::string> Tails() {
  char code[64];
  snprintf(code, sizeof code, "%x,%x,%x,%x", XQTI_ACCESS_CODE_1, XQTI_ACCESS_CODE_2, XQTI_ACCESS_CODE_3,
           XQTI_ACCESS_CODE_4);
  char upper[64];
  snprintf(upper, sizeof upper, "0x%X,0%X,%X,%05X", XQTI_ACCESS_CODE_1, XQTI_ACCESS_CODE_2, XQTI_ACCESS_CODE_3,
           XQTI_ACCESS_CODE_4);
  char fewer[64];
  snprintf(fewer, sizeof fewer, "%x,%x,%x", XQTI_ACCESS_CODE_1, XQTI_ACCESS_CODE_2, XQTI_ACCESS_CODE_3);
  return {std::string("Uninstall,") + code, std::string("Uninstall,") + upper,
          std::string("Uninstall,") + code + ",1,2,3", std::string("uninstall,") + code,
          std::string("Uninstall,") + fewer, "Uninstall,1,2,3,4", ""};
}

void BM_CheckInvocation(benchmark::State& state) {
  const std::vector<std::string> tails = Tails();
  char tail[128];
  int accepted = 0;
  for (auto _ : state) {
    for (const std::string& t : tails) {
      memcpy(tail, t.c_str(), t.size() + 1);  // the gate splits the tail in place
      accepted += CheckInvocation(tail);
    }
  }
  if (accepted != static_cast<int>(state.iterations()) * 3) state.SkipWithError("the gate decided wrongly");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * tails.size()));
  state.SetLabel("7 tails per iteration");
}
BENCHMARK(BM_CheckInvocation);

constexpr char kBase[] = "c:\\games\\product\\";

// Paths a list may hold, inside and outside the program directory.
const std::vector<std::string> kResolvePaths = {
    "data\\set07\\pack042\\texture_00123.dat",
    "data/set07/./pack042//sound_00001.ogg",
    "c:\\games\\product\\data\\set01\\model_00002.bin",
    "\\games\\product\\bin\\exe\\patch.dll",
    "c:\\games\\other\\save.dat",
    "data\\..\\..\\boot.ini",
    "data\\con.txt",
    "data\\set07\\file.dat:stream",
    "\\\\?\\c:\\games\\product\\x.dat",
    "d:data\\x.dat",
};

void BM_ResolveBeneath(benchmark::State& state) {
  char rel[kPathSize];
  unsigned cp = OsCodePage();
  int inside = 0;
  for (auto _ : state) {
    for (const std::string& path : kResolvePaths) inside += ResolveBeneath(cp, kBase, path.c_str(), rel, sizeof rel);
  }
  if (inside != static_cast<int>(state.iterations()) * 4) state.SkipWithError("containment decided wrongly");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kResolvePaths.size()));
  state.SetLabel("10 paths per iteration");
}
BENCHMARK(BM_ResolveBeneath);

// Directory texts of a long list: 200 distinct directories, each written twice in different case,
// so that the table fills, refuses equals and then refuses everything.
std::vector<std::string> DirectoryTexts() {
  std::vector<std::string> texts;
  for (int i = 0; i < 200; ++i) {
    char text[64];
    snprintf(text, sizeof text, "data\\set%02d\\pack%03d\\", i / 100, i % 100);
    texts.push_back(text);
    snprintf(text, sizeof text, "Data\\SET%02d\\Pack%03d", i / 100, i % 100);
    texts.push_back(text);
  }
  return texts;
}

void BM_AddDirectoryAndSort(benchmark::State& state) {
  const std::vector<std::string> texts = DirectoryTexts();
  for (auto _ : state) {
    ResetDirectoryTable();
    for (const std::string& text : texts) AddDirectory(text.c_str());
    SortDirectoriesDescending();
    benchmark::DoNotOptimize(g_directories[0][0]);
  }
  if (g_directoryCount != kDirectorySlots) state.SkipWithError("the table did not fill");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * texts.size()));
  state.SetLabel("400 texts into 128 slots, then the sort, per iteration");
}
BENCHMARK(BM_AddDirectoryAndSort);

}  // namespace

int main(int argc, char** argv) {
  // AddDirectory resolves against the program directory: a temporary one stands in for it.
  char dir[] = "/tmp/xqti-text-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    perror("mkdtemp");
    return 1;
  }
  snprintf(g_programDirectory, sizeof g_programDirectory, "%s/", dir);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  rmdir(dir);
  return 0;
}
