#pragma once
// <windows.h> for the framework's Win32 files, without the A/W name macros
// that would rename the framework's own members (SendMessage, MessageBox,
// GetWindowText...). Code here calls the W functions by their full names.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#undef SendMessage
#undef PostMessage
#undef MessageBox
#undef GetWindowText
#undef SetWindowText
#undef GetOpenFileName
#undef GetModuleFileName
#undef DispatchMessage
#undef DrawText
#undef LoadString
