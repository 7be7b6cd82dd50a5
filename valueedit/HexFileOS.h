// The few file-system calls the hex editor needs beyond the class library:
// exclusive creation of a new file, replacing one file by another and the
// read-only attribute.
#pragma once

#include <cstdint>

#include "classlib/SysUtils.h"

// Creates `name` only when no such file exists (atomically) and opens it
// for reading and writing. Answers the handle (a HANDLE on Windows, a file
// descriptor on the host), or -1 when the file exists or can't be created.
intptr_t HexCreateNewFile(const String& name);
void HexCloseFile(intptr_t handle);
// Moves `from` over `to`, replacing `to` when it exists.
bool HexReplaceFile(const String& from, const String& to);
// Whether the file's read-only attribute is set (on the host: nobody may
// write it).
bool HexFileReadOnly(const String& name);
// Milliseconds since start-up (wraps).
uint32_t HexTickCount();
// The last operating-system error code.
unsigned long HexLastError();
