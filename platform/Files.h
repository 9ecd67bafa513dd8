#pragma once
// Files and folders.
// Imitates: the places the program's defaults point at. The default folder of a Windows
// program ("c:\") is the user's home folder here, written with its trailing '/'.

#include "platform/CString.h"

// The user's home folder with a trailing '/'.
CString GetHomeFolder();

// The folder for temporary files, with a trailing '/'; its length.
DWORD GetTempPath(DWORD size, LPSTR buffer);
// True when the file can be opened for reading.
BOOL CanOpenForReading(LPCSTR path);
BOOL DeleteFile(LPCSTR path);
