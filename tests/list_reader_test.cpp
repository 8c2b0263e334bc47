// Normalising a list line into a path.
#include <gtest/gtest.h>

#include <string>

#include "list/list_reader.h"
#include "list/path_text.h"

namespace {

struct NormalizeCase {
  std::string line;
  std::string path;
};

class NormalizeListLineTest : public testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeListLineTest, TurnsALineIntoAPath) {
  const NormalizeCase& c = GetParam();
  static char path[kPathSize];
  ASSERT_TRUE(CopyText(path, sizeof path, c.line.c_str()));
  NormalizeListLine(path);
  EXPECT_EQ(std::string(path), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NormalizeListLineTest,
    testing::Values(
        NormalizeCase{"Data\\Sound\\Bgm01.dat\n", "data\\sound\\bgm01.dat"},
        NormalizeCase{"Exe\\Patch.DLL", "patch.dll"},
        NormalizeCase{"setupexe\\notes.txt", "notes.txt"},
        NormalizeCase{"c:\\game\\exe\\sub\\x.Y", "x.y"},
        NormalizeCase{"exe/x.dat", "exe/x.dat"},  // only "exe\" reduces
        NormalizeCase{"exe\\", ""},
        // One line feed, then one carriage return, and nothing else is trimmed.
        NormalizeCase{"a\\b.dat\r\n", "a\\b.dat"},
        NormalizeCase{"a\\b.dat\r", "a\\b.dat"},
        NormalizeCase{"a\\b.dat\r\r\n", "a\\b.dat\r"},
        NormalizeCase{" a.dat \t\n", " a.dat \t"},
        NormalizeCase{"\n", ""},
        NormalizeCase{"..\\X.DAT", "..\\x.dat"}));

TEST(NormalizeListLine, ReductionWhoseNameDoesNotFitLeavesNothing) {
  static char path[kPathSize];
  std::string line = "exe\\" + std::string(600, 'n') + ".dat";
  ASSERT_TRUE(CopyText(path, sizeof path, line.c_str()));
  NormalizeListLine(path);
  EXPECT_STREQ(path, "");
}

}  // namespace
