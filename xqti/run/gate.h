// The gate: the tool acts only when started the way the uninstaller starts it.
#pragma once

// Checks the writable command-line tail: "Uninstall" and the four access-code numbers, comma-separated.
// Splits the tail in place, so that afterwards it reads as its first field. 1 to go on, 0 to refuse.
int CheckInvocation(char* tail);
