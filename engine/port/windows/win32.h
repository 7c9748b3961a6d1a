// The Windows headers, for the files of the Win32 backend only.
//
// Include this header after every header of the project: <windows.h> defines
// the VK_* codes, the record event types and MessageBox as macros, which
// would break the port's own declarations of the same names if they came
// later. The values of the macros equal the port's constants, so code below
// this include may use either spelling.
#pragma once

#include "engine/port/console_port.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

// ConsolePort::MessageBox keeps its name; the system call is MessageBoxW.
#undef MessageBox
