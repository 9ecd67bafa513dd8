#pragma once
// Files and folders.
// Imitates: the places the program's defaults point at. The default folder of a Windows
// program ("c:\") is the user's home folder here, written with its trailing '/'.

#include "platform/CString.h"

// The user's home folder with a trailing '/'.
CString GetHomeFolder();
