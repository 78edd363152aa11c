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

// Runs a release call (a close, a free, a destroy) without disturbing the
// caller's last-error code, so releasing a handle on an error path never hides
// the error about to be reported. Returns what the call returns.
template <class Release>
auto KeepingLastError(Release&& release) -> decltype(release()) {
  struct TRestore {
    DWORD Code;
    ~TRestore() { SetLastError(Code); }
  } restore{GetLastError()};
  return release();
}
