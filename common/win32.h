#pragma once
// The one place that includes <windows.h>. Only win32_*.cpp files include this.
#ifndef _WIN32_WINNT
// Windows 8: the oldest the programs are for (their manifests name 8.1 and
// later); the sessions' lock state, the uncancellable power-off and the time
// awake are calls of Windows 7 and 8.
#define _WIN32_WINNT 0x0602
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

// What Debian 12's MinGW-w64 headers lack of wtsapi32.h (Windows 8 and later),
// declared once here under names of our own: WTSQuerySessionInformation's
// class WTSSessionInfoEx and its answer, WTSINFOEXA at level 1.
inline constexpr int kWtsSessionInfoEx = 25;           // WTSSessionInfoEx
struct TWtsInfoExLevel1A {                             // WTSINFOEX_LEVEL1_A
  ULONG SessionId;
  int SessionState;                                    // WTS_CONNECTSTATE_CLASS
  LONG SessionFlags;                                   // WTS_SESSIONSTATE_LOCK 0, _UNLOCK 1, _UNKNOWN -1
  CHAR WinStationName[33];
  CHAR UserName[21];
  CHAR DomainName[18];
  LARGE_INTEGER LogonTime;
  LARGE_INTEGER ConnectTime;
  LARGE_INTEGER DisconnectTime;
  LARGE_INTEGER LastInputTime;
  LARGE_INTEGER CurrentTime;
  DWORD IncomingBytes;
  DWORD OutgoingBytes;
  DWORD IncomingFrames;
  DWORD OutgoingFrames;
  DWORD IncomingCompressedBytes;
  DWORD OutgoingCompressedBytes;
};
struct TWtsInfoExA {                                   // WTSINFOEXA
  DWORD Level;
  TWtsInfoExLevel1A Level1;                            // the union's one member
};
