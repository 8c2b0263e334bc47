// The tool's only diagnostic. A release build compiles every trace point away; a trace build
// (XQTI_TRACE=1) writes one line per trace point through the platform.
#pragma once

#ifndef XQTI_TRACE
#define XQTI_TRACE 0
#endif

#if XQTI_TRACE
void Trace(const char* text);
void Trace(const char* text, const char* more);
void Trace(int count);
#else
inline void Trace(const char*) {}
inline void Trace(const char*, const char*) {}
inline void Trace(int) {}
#endif
