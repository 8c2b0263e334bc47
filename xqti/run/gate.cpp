// The gate on the command-line tail: "Uninstall" and four hex numbers, comma-separated. The tail is split
// as strtok_s splits it and each number read as a 32-bit strtoul reads it, done by hand so that the
// reading cannot drift with a C library or with the width of unsigned long. One mend on that reading:
// a tail that runs out of fields before the fourth number is refused rather than let through.
#include "run/gate.h"

#include "access_code.h"

static const uint32_t kAccessCode[4] = {XQTI_ACCESS_CODE_1, XQTI_ACCESS_CODE_2, XQTI_ACCESS_CODE_3,
                                        XQTI_ACCESS_CODE_4};

static const char kFirstField[] = "Uninstall";

// White space as the C locale has it; nothing above 127 counts.
static bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The value of one hex digit of either case, or -1.
static int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A "0x" counts as a prefix only when a hex digit follows; otherwise its "0" is the number.
static const char* SkipHexPrefix(const char* p) {
  bool prefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexDigitValue(p[2]) >= 0;
  return prefix ? p + 2 : p;
}

uint32_t ParseHex32(const char* text) {
  const char* p = text;
  while (IsWhiteSpace(*p)) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  p = SkipHexPrefix(p);
  uint32_t value = 0;
  bool overflow = false;
  for (int digit = HexDigitValue(*p); digit >= 0; digit = HexDigitValue(*++p)) {
    if (value > 0x0FFFFFFFu) overflow = true;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  // The Windows C runtime saturates the magnitude first and applies the sign after, so that "-" with
  // too many digits gives 1; glibc would give 0xFFFFFFFF.
  uint32_t magnitude = overflow ? 0xFFFFFFFFu : value;
  return negative ? 0u - magnitude : magnitude;
}

// The next field from *rest, strtok_s-style on ",": leading commas are passed over, the comma ending
// the field becomes a zero byte, and *rest moves past it. Null when no field is left.
static char* NextField(char** rest) {
  char* p = *rest;
  while (*p == ',') ++p;
  if (*p == '\0') {
    *rest = p;
    return nullptr;
  }
  char* field = p;
  while (*p != '\0' && *p != ',') ++p;
  if (*p == ',') *p++ = '\0';
  *rest = p;
  return field;
}

// Byte-for-byte equality; case matters.
static bool SameText(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

int CheckInvocation(char* tail) {
  if (tail == nullptr || tail[0] == '\0') return 0;
  char* rest = tail;
  const char* name = NextField(&rest);
  if (name == nullptr || !SameText(name, kFirstField)) return 0;
  for (uint32_t code : kAccessCode) {
    const char* field = NextField(&rest);
    if (field == nullptr) return 0;  // the mend: too few fields
    if (ParseHex32(field) != code) return 0;
  }
  return 1;  // any further fields are not looked at
}
