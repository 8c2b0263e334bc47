// The command-line tail: what follows the program's own name on the raw command line.
#pragma once

// The tail of the raw command line cmd: the program name ends at the first blank or control character
// (byte 1 to 32) outside double quotes, each double quote switching quoting; the blanks and control
// characters after it are passed over. A double-byte character of code page cp is stepped over whole.
const char* CommandTail(unsigned cp, const char* cmd);
