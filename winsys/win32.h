#pragma once
// The one place that includes <windows.h>. Only win32_*.cpp files include this.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0501  // Windows XP: every call the system makes exists there
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
