// The gate on arbitrary tails. The input, zero-terminated, is placed at the very end of a fixed buffer,
// so that a read past its zero byte leaves the buffer and AddressSanitizer stops the run. The verdict is
// compared with a plain restatement of the rule; the number reading with one of 32-bit Windows strtoul
// in base 16.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "access_code.h"
#include "fuzz_check.h"
#include "run/gate.h"

namespace {

// The longest tail Windows hands over.
char g_buffer[65536];

bool IsCWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// strtoul(text, NULL, 16) of the Windows C runtime with a 32-bit unsigned long: the "0x" is passed over
// whenever it is there (with nothing after it the value is 0 all the same), the magnitude saturates at
// 0xFFFFFFFF, and a "-" negates what came out.
uint32_t ReferenceHex32(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsCWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
  uint64_t magnitude = 0;
  for (; i < text.size() && HexValue(text[i]) >= 0; ++i) {
    magnitude = magnitude * 16 + static_cast<uint64_t>(HexValue(text[i]));
    if (magnitude > 0xFFFFFFFFull) magnitude = 0x100000000ull;  // stays above the range from here on
  }
  uint32_t value = magnitude > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(magnitude);
  return negative ? static_cast<uint32_t>(0u - value) : value;
}

// The comma-separated fields as strtok splits them: empty fields do not exist.
std::vector<std::string> Fields(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ',') {
      if (i > start) fields.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return fields;
}

int ReferenceGate(const std::string& tail) {
  static const uint32_t kCode[4] = {XQTI_ACCESS_CODE_1, XQTI_ACCESS_CODE_2, XQTI_ACCESS_CODE_3,
                                    XQTI_ACCESS_CODE_4};
  std::vector<std::string> fields = Fields(tail);
  if (fields.size() < 5 || fields[0] != "Uninstall") return 0;
  for (int i = 0; i < 4; ++i) {
    if (ReferenceHex32(fields[1 + i]) != kCode[i]) return 0;
  }
  return 1;
}

// The input as a zero-terminated text that ends where the buffer ends.
char* PlaceAtEnd(const uint8_t* data, size_t size) {
  char* text = g_buffer + sizeof g_buffer - (size + 1);
  memcpy(text, data, size);
  text[size] = '\0';
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size + 1 > sizeof g_buffer) return 0;
  char* text = PlaceAtEnd(data, size);
  const std::string before(text);  // what the tool sees: the bytes up to the first zero

  int verdict = CheckInvocation(text);
  FUZZ_CHECK(verdict == ReferenceGate(before), "the gate disagrees with the rule");
  if (verdict == 1) {
    size_t lead = before.find_first_not_of(',');
    FUZZ_CHECK(before.compare(lead, 10, "Uninstall,") == 0, "let through without \"Uninstall,\" first");
  }
  // The split only turns commas into zero bytes, and only up to the end of the text.
  for (size_t i = 0; i < before.size(); ++i) {
    FUZZ_CHECK(text[i] == before[i] || (before[i] == ',' && text[i] == '\0'),
               "the gate changed a byte that is not a comma");
  }
  FUZZ_CHECK(text[before.size()] == '\0', "the gate changed the terminating zero");

  // The number reading, on the whole text and from each field's start.
  text = PlaceAtEnd(data, size);
  FUZZ_CHECK(ParseHex32(text) == ReferenceHex32(before), "ParseHex32 disagrees with strtoul");
  for (size_t i = 0; i < before.size(); ++i) {
    if (before[i] == ',') {
      FUZZ_CHECK(ParseHex32(text + i + 1) == ReferenceHex32(before.substr(i + 1)),
                 "ParseHex32 disagrees with strtoul on a field");
    }
  }
  return 0;
}
