// The gate: the tool acts only when started the way the uninstaller starts it.
#pragma once

#include <stdint.h>

// Checks the writable command-line tail: "Uninstall" and the four access-code numbers, comma-separated.
// Splits the tail in place, so that afterwards it reads as its first field (behind any leading commas).
// 1 to go on, 0 to refuse.
int CheckInvocation(char* tail);

// The hex number at the start of text, read as 32-bit Windows strtoul(text, NULL, 16) reads it:
// white space, a sign, an optional 0x, then digits; 0 when there are none. Too many digits give
// 0xFFFFFFFF, which a "-" then negates to 1.
uint32_t ParseHex32(const char* text);
