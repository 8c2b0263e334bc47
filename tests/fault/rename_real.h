// Forced in front of the POSIX backend when it is compiled for the fault tests (-include), so that its
// functions come out as Real*: fault_platform.cpp then defines the Os* functions the logic calls, and
// hands each call on to the real one unless the fault plan says it fails.
#pragma once

#define OsGetProgramPath RealOsGetProgramPath
#define OsSetCurrentDirectory RealOsSetCurrentDirectory
#define OsDeleteFileBeneath RealOsDeleteFileBeneath
#define OsRemoveDirectoryBeneath RealOsRemoveDirectoryBeneath
#define OsFindFirst RealOsFindFirst
#define OsFindNext RealOsFindNext
#define OsFindClose RealOsFindClose
#define OsOpenFileBeneath RealOsOpenFileBeneath
#define OsReadFile RealOsReadFile
#define OsCloseFile RealOsCloseFile
#define OsCodePage RealOsCodePage
#define OsIsLeadByte RealOsIsLeadByte
#define OsLowerCharacter RealOsLowerCharacter
#define OsTraceLine RealOsTraceLine
