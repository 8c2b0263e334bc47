// The gate on the command-line tail, with the default access code 3c5,9,4e,2d1f7.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "run/gate.h"

namespace {

struct GateCase {
  const char* tail;
  int expected;
  const char* after;  // the tail read as a string after the call; null when not checked
};

const GateCase kGateCases[] = {
    {"Uninstall,3c5,9,4e,2d1f7", 1, "Uninstall"},
    // The first field, byte for byte.
    {"uninstall,3c5,9,4e,2d1f7", 0, "uninstall"},
    {"UNINSTALL,3c5,9,4e,2d1f7", 0, "UNINSTALL"},
    {"Uninstall ,3c5,9,4e,2d1f7", 0, "Uninstall "},
    {" Uninstall,3c5,9,4e,2d1f7", 0, " Uninstall"},
    {"\tUninstall,3c5,9,4e,2d1f7", 0, "\tUninstall"},
    {"Uninstal,3c5,9,4e,2d1f7", 0, "Uninstal"},
    {"Uninstalls,3c5,9,4e,2d1f7", 0, "Uninstalls"},
    {"Uninstall;3c5,9,4e,2d1f7", 0, "Uninstall;3c5"},
    // How the numbers are written.
    {"Uninstall,0x3c5,0x9,0X4e,0x2d1f7", 1, "Uninstall"},
    {"Uninstall,3C5,9,4E,2D1F7", 1, "Uninstall"},
    {"Uninstall,000003c5,09,004e,0002d1f7", 1, "Uninstall"},
    {"Uninstall,0x0003C5,0X09,0x04E,0x000002D1F7", 1, nullptr},
    {"Uninstall, 3c5,9,4e,2d1f7", 1, "Uninstall"},
    {"Uninstall,\t3c5,9,4e,2d1f7", 1, "Uninstall"},
    {"Uninstall,\n\v\f\r 3c5,9,4e,2d1f7", 1, nullptr},
    {"Uninstall,3c5zz,9 ,4e!,2d1f7 trailing", 1, "Uninstall"},
    {"Uninstall,+3c5,+9,+4e,+2d1f7", 1, nullptr},
    {"Uninstall,-fffffc3b,9,4e,2d1f7", 1, nullptr},
    {"Uninstall,3c5,-fffffff7,-ffffffb2,-fffd2e09", 1, nullptr},
    {"Uninstall,x3c5,9,4e,2d1f7", 0, nullptr},
    {"Uninstall,0x0x3c5,9,4e,2d1f7", 0, nullptr},
    {"Uninstall,- 3c5,9,4e,2d1f7", 0, nullptr},
    {"Uninstall,+-3c5,9,4e,2d1f7", 0, nullptr},
    {"Uninstall,\xa0" "3c5,9,4e,2d1f7", 0, nullptr},
    {"Uninstall,3 c5,9,4e,2d1f7", 0, nullptr},
    {"Uninstall,0x,9,4e,2d1f7", 0, nullptr},
    // More than 32 bits saturate instead of wrapping onto the code.
    {"Uninstall,1000003c5,9,4e,2d1f7", 0, nullptr},
    {"Uninstall,3c5,100000009,4e,2d1f7", 0, nullptr},
    {"Uninstall,-1000003c5,9,4e,2d1f7", 0, nullptr},
    // Commas.
    {"Uninstall,,3c5,,,9,4e,,2d1f7", 1, "Uninstall"},
    {",,Uninstall,3c5,9,4e,2d1f7", 1, ",,Uninstall"},
    {",Uninstall,,3c5,9,4e,2d1f7,", 1, ",Uninstall"},
    {"Uninstall,3c5,9,4e,2d1f7,", 1, "Uninstall"},
    {"Uninstall,3c5,9,4e,2d1f7,,,", 1, "Uninstall"},
    // Fields after the fifth are not looked at.
    {"Uninstall,3c5,9,4e,2d1f7,anything", 1, "Uninstall"},
    {"Uninstall,3c5,9,4e,2d1f7,Uninstall,zz top ,,\t", 1, "Uninstall"},
    {"Uninstall,3c5,9,4e,2d1f7,0,0", 1, "Uninstall"},
    // One wrong number refuses, wherever it stands.
    {"Uninstall,3c4,9,4e,2d1f7", 0, "Uninstall"},
    {"Uninstall,3c5,8,4e,2d1f7", 0, "Uninstall"},
    {"Uninstall,3c5,9,4f,2d1f7", 0, "Uninstall"},
    {"Uninstall,3c5,9,4e,2d1f8", 0, "Uninstall"},
    {"Uninstall,2d1f7,4e,9,3c5", 0, "Uninstall"},
    {"Uninstall,0,0,0,0", 0, "Uninstall"},
    // Too few fields: refused.
    {"", 0, ""},
    {"Uninstall", 0, "Uninstall"},
    {"Uninstall,", 0, "Uninstall"},
    {"Uninstall,3c5,9,4e", 0, "Uninstall"},
    {"Uninstall,3c5,9,4e,", 0, "Uninstall"},
    {"Uninstall,3c5,9,4e,,,,", 0, "Uninstall"},
    {",,,,", 0, ",,,,"},
    {",,,,,,,,,,", 0, nullptr},
    {"3c5,9,4e,2d1f7", 0, "3c5"},
};

void PrintTo(const GateCase& c, std::ostream* os) { *os << testing::PrintToString(std::string(c.tail)); }

class GateTable : public testing::TestWithParam<GateCase> {};

TEST_P(GateTable, RefusesOrLetsThrough) {
  const GateCase& c = GetParam();
  std::vector<char> tail(c.tail, c.tail + std::string(c.tail).size() + 1);
  EXPECT_EQ(CheckInvocation(tail.data()), c.expected) << "tail: \"" << c.tail << "\"";
  if (c.after != nullptr) EXPECT_STREQ(tail.data(), c.after) << "tail: \"" << c.tail << "\"";
}

INSTANTIATE_TEST_SUITE_P(Gate, GateTable, testing::ValuesIn(kGateCases));

// The whole buffer after the call: each comma ending a field that was reached is a zero byte, nothing
// else changes, and nothing beyond the fields read is touched.
struct SplitCase {
  const char* tail;
  std::string after;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << testing::PrintToString(std::string(c.tail)); }

class GateSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(GateSplit, OverwritesOnlyTheCommasOfFieldsReached) {
  const SplitCase& c = GetParam();
  std::string tail(c.tail);
  CheckInvocation(&tail[0]);
  EXPECT_EQ(tail, c.after);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Gate, GateSplit,
    testing::Values(
        SplitCase{"Uninstall,3c5,9,4e,2d1f7,x,y", "Uninstall\0" "3c5\0" "9\0" "4e\0" "2d1f7\0" "x,y"s},
        SplitCase{",,Uninstall,,3c5,9,4e,2d1f7", ",,Uninstall\0,3c5\0" "9\0" "4e\0" "2d1f7"s},
        SplitCase{"Uninstall,3c4,9,4e,2d1f7", "Uninstall\0" "3c4\0" "9,4e,2d1f7"s},
        SplitCase{"uninstall,3c5,9,4e,2d1f7", "uninstall\0" "3c5,9,4e,2d1f7"s},
        SplitCase{"Uninstall \t,3c5", "Uninstall \t\0" "3c5"s},
        SplitCase{"Uninstall,3c5,9,4e,", "Uninstall\0" "3c5\0" "9\0" "4e\0"s}));

TEST(Gate, NullTailIsRefused) { EXPECT_EQ(CheckInvocation(nullptr), 0); }

// The number reading on its own: 32-bit strtoul with base 16 on Windows.
struct HexCase {
  const char* text;
  uint32_t value;
};

void PrintTo(const HexCase& c, std::ostream* os) { *os << testing::PrintToString(std::string(c.text)); }

class GateParseHex32 : public testing::TestWithParam<HexCase> {};

TEST_P(GateParseHex32, ReadsAs32BitStrtoul) {
  EXPECT_EQ(ParseHex32(GetParam().text), GetParam().value) << "text: \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Gate, GateParseHex32,
    testing::Values(HexCase{"3c5", 0x3c5u}, HexCase{"DeadBeef", 0xdeadbeefu}, HexCase{"0", 0u},
                    HexCase{"0x1f", 0x1fu}, HexCase{"0X1F", 0x1fu}, HexCase{"0001f", 0x1fu},
                    HexCase{" \t\n\v\f\r1f", 0x1fu}, HexCase{"1f 2", 0x1fu}, HexCase{"1fg", 0x1fu},
                    // No digits: 0, and a lone "0x" is the number 0.
                    HexCase{"", 0u}, HexCase{"   ", 0u}, HexCase{"g1", 0u}, HexCase{"+", 0u},
                    HexCase{"-", 0u}, HexCase{"+-1", 0u}, HexCase{"--1", 0u}, HexCase{"0x", 0u},
                    HexCase{"0X", 0u}, HexCase{"0xg", 0u}, HexCase{"0x-1", 0u}, HexCase{"0x0x5", 0u},
                    HexCase{"x5", 0u}, HexCase{"\xa0" "5", 0u}, HexCase{"- 5", 0u},
                    // Signs: "-" negates modulo 2^32.
                    HexCase{"+3c5", 0x3c5u}, HexCase{"-1", 0xffffffffu}, HexCase{"-0", 0u},
                    HexCase{"-fffffc3b", 0x3c5u}, HexCase{"-0x10", 0xfffffff0u},
                    HexCase{" -ffffffff", 1u}, HexCase{"-80000000", 0x80000000u},
                    // The top of the range, and saturation above it; the Windows C runtime
                    // negates the saturated value, so with "-" it is 1.
                    HexCase{"ffffffff", 0xffffffffu}, HexCase{"0xFFFFFFFF", 0xffffffffu},
                    HexCase{"0000000000000000ffffffff", 0xffffffffu},
                    HexCase{"00000000000000000000001", 1u}, HexCase{"100000000", 0xffffffffu},
                    HexCase{"1000003c5", 0xffffffffu}, HexCase{"fffffffff", 0xffffffffu},
                    HexCase{"0x100000000", 0xffffffffu}, HexCase{"123456789abcdef0123", 0xffffffffu},
                    HexCase{"-100000000", 1u}, HexCase{"-1000003c5", 1u},
                    HexCase{"-0x123456789", 1u}));

}  // namespace
