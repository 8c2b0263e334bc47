// The run: where the tool works and the fixed order of its stages.
#pragma once

#include "list/path_text.h"

// The directory that holds the executable, ending in a separator; the current directory for the whole
// run and the one directory below which the tool acts. Empty when the executable's path is unknown, and
// then nothing is deleted.
extern char g_programDirectory[kPathSize];

// Runs the clean-up once for the writable command-line tail. 1 when the run went through to its last
// stage, 0 when the command line was refused.
int RunCleanup(char* tail);
