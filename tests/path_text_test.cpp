// The splitting rule, lowercasing and bounded joining, under single- and double-byte code pages.
#include <gtest/gtest.h>

#include <string>

#include "list/path_text.h"

namespace {

struct SplitCase {
  unsigned cp;
  std::string path;
  const char* drive;
  std::string dir;
  std::string fname;
  const char* ext;
};

class SplitPathTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitPathTest, SplitsIntoDriveDirectoryNameAndExtension) {
  const SplitCase& c = GetParam();
  static PathParts parts;
  ASSERT_TRUE(SplitPath(c.cp, c.path.c_str(), &parts));
  EXPECT_STREQ(parts.drive, c.drive);
  EXPECT_EQ(parts.dir, c.dir);
  EXPECT_EQ(parts.fname, c.fname);
  EXPECT_STREQ(parts.ext, c.ext);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitPathTest,
    testing::Values(
        SplitCase{20127, "data\\sound\\bgm01.dat", "", "data\\sound\\", "bgm01", ".dat"},
        SplitCase{20127, "c:\\games\\old.dat", "c:", "\\games\\", "old", ".dat"},
        SplitCase{20127, "c:x.dat", "c:", "", "x", ".dat"},
        SplitCase{20127, "a/b\\c.tar.gz", "", "a/b\\", "c.tar", ".gz"},
        SplitCase{20127, "dir.d\\name", "", "dir.d\\", "name", ""},
        SplitCase{20127, ".profile", "", "", "", ".profile"},
        SplitCase{20127, "a\\", "", "a\\", "", ""},
        SplitCase{20127, "", "", "", "", ""},
        SplitCase{20127, "/tmp/prog/xqti", "", "/tmp/prog/", "xqti", ""},
        // CP932: 0x95 0x5C is one character whose second byte is not a separator.
        SplitCase{932, "\x95\x5C\\x.dat", "", "\x95\x5C\\", "x", ".dat"},
        SplitCase{932, "d\\\x95\x5C.dat", "", "d\\", "\x95\x5C", ".dat"},
        // The same bytes in a single-byte code page: 0x5C separates.
        SplitCase{20127, "d\\\x95\x5C.dat", "", "d\\\x95\\", "", ".dat"},
        // CP949 / CP936 / CP950: a trail byte 0x2E is not a dot only where it can be a trail byte;
        // a lead byte at the very end stands alone.
        SplitCase{949, "a\\\xB0\xA1.txt", "", "a\\", "\xB0\xA1", ".txt"},
        SplitCase{950, "\xA5\x5C\\b", "", "\xA5\x5C\\", "b", ""},
        SplitCase{936, "x\\\x81", "", "x\\", "\x81", ""}));

TEST(SplitPath, PartTooLongFailsAndEmptiesEverything) {
  static PathParts parts;
  std::string path = "dir\\" + std::string(600, 'n') + ".dat";
  EXPECT_FALSE(SplitPath(20127, path.c_str(), &parts));
  EXPECT_STREQ(parts.dir, "");
  EXPECT_STREQ(parts.fname, "");
  std::string longExt = "x." + std::string(300, 'e');
  EXPECT_FALSE(SplitPath(20127, longExt.c_str(), &parts));
}

struct LowerCase {
  unsigned cp;
  std::string in;
  std::string out;
};

class LowerTextTest : public testing::TestWithParam<LowerCase> {};

TEST_P(LowerTextTest, LowersWholeCharacters) {
  const LowerCase& c = GetParam();
  char buf[64];
  ASSERT_TRUE(CopyText(buf, sizeof buf, c.in.c_str()));
  LowerText(c.cp, buf);
  EXPECT_EQ(std::string(buf), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LowerTextTest,
    testing::Values(
        LowerCase{20127, "Data\\Sound\\BGM01.DAT", "data\\sound\\bgm01.dat"},
        LowerCase{20127, "\xC0\xC9Z", "\xC0\xC9z"},  // bytes above 0x7F are no letters here
        // CP932: fullwidth A (82 60) becomes fullwidth a (82 81); 95 5C is left alone, never
        // lowered byte by byte (5C is no letter, but 0x41 as a trail byte must not become 0x61).
        LowerCase{932, "\x82\x60\\X", "\x82\x81\\x"},
        LowerCase{932, "\x95\x5C", "\x95\x5C"},
        LowerCase{932, "\x83\x41" "A", "\x83\x41" "a"},
        // CP949 and CP936: fullwidth A (A3 C1) becomes A3 E1.
        LowerCase{949, "\xA3\xC1", "\xA3\xE1"},
        LowerCase{936, "\xA3\xC1", "\xA3\xE1"},
        // CP950 (Big5): fullwidth A (A2 CF) becomes fullwidth a (A2 E9).
        LowerCase{950, "\xA2\xCF", "\xA2\xE9"}));

TEST(LowerText, UnmappableDoubleByteCharacterEmptiesTheText) {
  char buf[16] = "ab\x81\x20" "cd";  // 81 20 is no character of CP932
  EXPECT_FALSE(LowerText(932, buf));
  EXPECT_STREQ(buf, "");
}

TEST(JoinText, RefusesWhatDoesNotFitInsteadOfCutting) {
  char buf[8];
  EXPECT_TRUE(JoinText(buf, sizeof buf, "abc", "defg"));
  EXPECT_STREQ(buf, "abcdefg");
  EXPECT_FALSE(JoinText(buf, sizeof buf, "abcd", "efgh"));
  EXPECT_STREQ(buf, "");
  EXPECT_FALSE(CopyText(buf, sizeof buf, "12345678"));
}

}  // namespace
