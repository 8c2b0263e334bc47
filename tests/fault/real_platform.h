// The real POSIX backend under the names rename_real.h gives it.
#pragma once

#include <stddef.h>

#include "removal/platform.h"

bool RealOsGetProgramPath(char* buf, size_t size);
bool RealOsSetCurrentDirectory(const char* dir);
bool RealOsDeleteFileBeneath(const char* base, const char* rel);
bool RealOsRemoveDirectoryBeneath(const char* base, const char* rel);
OsFind* RealOsFindFirst(const char* base, const char* rel, OsFindEntry* entry);
bool RealOsFindNext(OsFind* find, OsFindEntry* entry);
void RealOsFindClose(OsFind* find);
OsFile* RealOsOpenFileBeneath(const char* base, const char* rel);
bool RealOsReadFile(OsFile* file, void* buf, size_t size, size_t* got);
void RealOsCloseFile(OsFile* file);
unsigned RealOsCodePage();
bool RealOsIsLeadByte(unsigned cp, unsigned char b);
bool RealOsLowerCharacter(unsigned cp, unsigned char* c, int n);
void RealOsTraceLine(const char* text);
