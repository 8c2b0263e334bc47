// What every fuzz target shares: the code pages the logic is fuzzed under, and a check that stops the
// run (so that libFuzzer keeps the input) when a property does not hold. Unlike assert it stays in an
// optimised build.
#pragma once

#include <stdio.h>
#include <stdlib.h>

// The single-byte stand-in and the double-byte code pages the tool meets.
static const unsigned kFuzzCodePages[] = {20127, 932, 936, 949, 950};
enum { kFuzzCodePageCount = sizeof kFuzzCodePages / sizeof kFuzzCodePages[0] };

#define FUZZ_CHECK(condition, what)                                                                        \
  do {                                                                                                     \
    if (!(condition)) {                                                                                    \
      fprintf(stderr, "fuzz check failed at %s:%d: %s\n  (%s)\n", __FILE__, __LINE__, (what), #condition); \
      abort();                                                                                             \
    }                                                                                                      \
  } while (0)
