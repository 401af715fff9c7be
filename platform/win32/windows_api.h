#pragma once
// The Windows headers, for the Windows platform's files only. They define many of the
// platform's own names (WM_CREATE, MMSYSERR_NOERROR, PostMessage, DeleteFile...) as
// macros, so the platform's headers come first and the macros that would rename its
// member functions go again. The platform code calls the system's W functions by name.
#include "platform/platform.h"
#include "platform/profile_file.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#undef DefWindowProc
#undef DeleteFile
#undef GetCurrentDirectory
#undef GetDlgItemText
#undef GetPrivateProfileSection
#undef GetPrivateProfileString
#undef PostMessage
#undef SendMessage
#undef SetDlgItemText
#undef SetWindowText
#undef WritePrivateProfileSection
#undef WritePrivateProfileString
