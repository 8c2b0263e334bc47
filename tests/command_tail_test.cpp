// The command-line tail: what follows the program's own name.
#include <gtest/gtest.h>

#include <string>

#include "run/command_tail.h"

namespace {

struct TailCase {
  unsigned cp;
  std::string cmd;
  std::string tail;
};

class CommandTailTest : public testing::TestWithParam<TailCase> {};

TEST_P(CommandTailTest, SkipsTheProgramName) {
  const TailCase& c = GetParam();
  EXPECT_EQ(std::string(CommandTail(c.cp, c.cmd.c_str())), c.tail);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandTailTest,
    testing::Values(
        TailCase{20127, "xqti.exe Uninstall,3c5,9,4e,2d1f7", "Uninstall,3c5,9,4e,2d1f7"},
        TailCase{20127, "\"C:\\Program Files\\XQT\\xqti.exe\" Uninstall,3c5", "Uninstall,3c5"},
        TailCase{20127, "\"C:\\a b\\x.exe\"Uninstall", ""},  // the quote closes, the name goes on
        TailCase{20127, "C:\\a\" b\"\\x.exe  \t tail  end ", "tail  end "},
        TailCase{20127, "xqti.exe", ""},
        TailCase{20127, "", ""},
        TailCase{20127, "\"unterminated quote x", ""},
        TailCase{20127, "x.exe\x01\x02 t", "t"},
        // Bytes 0x80-0xFF are part of the name, never blanks.
        TailCase{20127, "C:\\\xC7\xD1\xB1\xDB\\x.exe Uninstall", "Uninstall"},
        TailCase{949, "C:\\\xB0\xA1\\x.exe \xB0\xA1 x", "\xB0\xA1 x"},
        // CP932: 81 40 (ideographic space) is one character of the name, not a blank.
        TailCase{932, "C:\\\x81\x40x.exe t", "t"},
        TailCase{932, "C:\\\x95\x5C\\x.exe t", "t"}));

}  // namespace
