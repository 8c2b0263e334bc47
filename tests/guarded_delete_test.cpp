// Where a path lies relative to the program directory: the containment rule of every deletion.
#include <gtest/gtest.h>

#include <string>

#include "list/path_text.h"
#include "removal/guarded_delete.h"

namespace {

struct ResolveCase {
  const char* base;
  std::string path;
  const char* rel;  // nullptr: refused
};

class ResolveBeneathTest : public testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveBeneathTest, FindsThePlaceBelowTheProgramDirectory) {
  const ResolveCase& c = GetParam();
  char rel[kPathSize];
  bool ok = ResolveBeneath(20127, c.base, c.path.c_str(), rel, sizeof rel);
  if (c.rel == nullptr) {
    EXPECT_FALSE(ok) << "resolved to " << rel;
    EXPECT_STREQ(rel, "");
  } else {
    EXPECT_TRUE(ok);
    EXPECT_STREQ(rel, c.rel);
  }
}

const char kWin[] = "C:\\Games\\XQT\\";
const char kUnc[] = "\\\\server\\share\\XQT\\";
const char kPosix[] = "/tmp/t/prog/";

INSTANTIATE_TEST_SUITE_P(
    Relative, ResolveBeneathTest,
    testing::Values(
        ResolveCase{kWin, "data\\sound\\bgm01.dat", "data\\sound\\bgm01.dat"},
        ResolveCase{kWin, "data/sound//./bgm01.dat", "data\\sound\\bgm01.dat"},
        ResolveCase{kWin, "patch.dll", "patch.dll"},
        ResolveCase{kWin, "", nullptr},
        ResolveCase{kWin, ".", nullptr},
        ResolveCase{kWin, "data\\", "data"},
        ResolveCase{kWin, "a\\..\\b", nullptr},
        ResolveCase{kWin, "..", nullptr},
        ResolveCase{"", "a.dat", nullptr}));

INSTANTIATE_TEST_SUITE_P(
    Absolute, ResolveBeneathTest,
    testing::Values(
        ResolveCase{kWin, "c:\\games\\xqt\\data\\x.dat", "data\\x.dat"},
        ResolveCase{kWin, "C:/Games//XQT/./x.dat", "x.dat"},
        ResolveCase{kWin, "c:\\games\\xqt", nullptr},
        ResolveCase{kWin, "c:\\games\\xqt\\", nullptr},
        ResolveCase{kWin, "c:\\games\\xqtx\\a.dat", nullptr},
        ResolveCase{kWin, "c:\\games\\old.dat", nullptr},
        ResolveCase{kWin, "d:\\games\\xqt\\a.dat", nullptr},
        ResolveCase{kWin, "\\games\\xqt\\a.dat", "a.dat"},
        ResolveCase{kWin, "\\games\\a.dat", nullptr},
        ResolveCase{kWin, "c:a.dat", "a.dat"},
        ResolveCase{kWin, "d:a.dat", nullptr},
        ResolveCase{kWin, "\\\\?\\c:\\games\\xqt\\a.dat", nullptr},
        ResolveCase{kWin, "\\\\.\\c:\\games\\xqt\\a.dat", nullptr},
        ResolveCase{kWin, "//?/c:/games/xqt/a.dat", nullptr},
        ResolveCase{kWin, "\\\\server\\share\\xqt\\a.dat", nullptr},
        ResolveCase{kUnc, "\\\\SERVER\\share\\xqt\\a.dat", "a.dat"},
        ResolveCase{kUnc, "\\xqt\\a.dat", "a.dat"},
        ResolveCase{kUnc, "\\\\server\\other\\xqt\\a.dat", nullptr},
        ResolveCase{kPosix, "/tmp/t/prog/a/b.dat", "a\\b.dat"},
        ResolveCase{kPosix, "\\tmp\\t\\prog\\b.dat", "b.dat"},
        ResolveCase{kPosix, "/tmp/t/sentinel.dat", nullptr},
        ResolveCase{kPosix, "c:\\tmp\\t\\prog\\b.dat", nullptr},
        ResolveCase{"C:\\", "c:\\a.dat", "a.dat"}));

INSTANTIATE_TEST_SUITE_P(
    Names, ResolveBeneathTest,
    testing::Values(
        ResolveCase{kWin, "x.dat.", nullptr},
        ResolveCase{kWin, "x.dat ", nullptr},
        ResolveCase{kWin, "dir.\\x.dat", nullptr},
        ResolveCase{kWin, "x.dat:stream", nullptr},
        ResolveCase{kWin, "x.dat::$DATA", nullptr},
        ResolveCase{kWin, "con", nullptr},
        ResolveCase{kWin, "data\\NUL.txt", nullptr},
        ResolveCase{kWin, "aux", nullptr},
        ResolveCase{kWin, "COM1", nullptr},
        ResolveCase{kWin, "lpt9.log", nullptr},
        ResolveCase{kWin, "con .txt", nullptr},
        ResolveCase{kWin, "console.txt", "console.txt"},
        ResolveCase{kWin, "com10", "com10"},
        ResolveCase{kWin, "a*.dat", nullptr},
        ResolveCase{kWin, "a?.dat", nullptr},
        ResolveCase{kWin, "a\tb", nullptr},
        ResolveCase{kWin, "notes..old.txt", "notes..old.txt"},
        ResolveCase{kWin, ".hidden", ".hidden"}));

TEST(ResolveBeneath, DoubleByteTrailBytesAreNeitherSeparatorsNorRefusedCharacters) {
  char rel[kPathSize];
  // CP932: 95 5C and 83 7C are characters whose second bytes look like "\" and "|".
  ASSERT_TRUE(ResolveBeneath(932, kWin, "\x95\x5C\\\x83\x7C.dat", rel, sizeof rel));
  EXPECT_STREQ(rel, "\x95\x5C\\\x83\x7C.dat");
  EXPECT_FALSE(ResolveBeneath(20127, kWin, "\x83\x7C.dat", rel, sizeof rel));
  // The program directory's own double-byte name compares whole.
  ASSERT_TRUE(ResolveBeneath(932, "C:\\\x95\x5C\\", "c:\\\x95\x5C\\a.dat", rel, sizeof rel));
  EXPECT_STREQ(rel, "a.dat");
}

TEST(ResolveBeneath, ResultThatDoesNotFitIsRefused) {
  char rel[8];
  EXPECT_FALSE(ResolveBeneath(20127, kWin, "abcdefgh", rel, sizeof rel));
  EXPECT_TRUE(ResolveBeneath(20127, kWin, "abcdefg", rel, sizeof rel));
}

}  // namespace

TEST(ResolveBeneath, ColonAfterALeadByteIsNeitherADriveNorAName) {
  char rel[kPathSize];
  EXPECT_FALSE(ResolveBeneath(932, kWin, "./\x95:a", rel, sizeof rel));
  EXPECT_FALSE(ResolveBeneath(932, kWin, "\x95:a", rel, sizeof rel));
  EXPECT_FALSE(ResolveBeneath(932, "C:\\\x95\x5C\\", "C:\\\xF4:", rel, sizeof rel));
  EXPECT_FALSE(ResolveBeneath(20127, kWin, "1:\\games\\xqt\\a.dat", rel, sizeof rel));
}
