#pragma once
// What the parts of nortaveltray.exe share: the tray's state, the messages its
// hidden window takes, and the calls between the program, its status window and
// its link to the service. Internal to tray/; Windows only.
//
// Thread: the main thread owns all of it; the link's thread only posts
// messages to the hidden window.

#include "common/win32.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "svcmgr/message_loop.h"
#include "tray/tray_view.h"

// Messages to the application's hidden window.
inline constexpr UINT kIconMessage = WM_APP + 1;
inline constexpr UINT kShowMessage = WM_APP + 2;
inline constexpr UINT kConfigChanged = WM_APP + 3;
// The service answered a call: WPARAM the call's TServiceCall, LPARAM a
// std::string* with the answer (empty when it could not be reached) that the
// receiver deletes.
inline constexpr UINT kServiceAnswer = WM_APP + 4;
// The package asked the clocks to end, or the service is gone.
inline constexpr UINT kGoodbyeMessage = WM_APP + 5;
// A second start asked (nortaveltray /ask): the service is asked for the state.
inline constexpr UINT kStateMessage = WM_APP + 6;

inline constexpr int kMaxLines = 8;

struct TTray {
  TApplication* App = nullptr;
  HWND Hidden = nullptr;
  std::string User;
  TTrayView View;
  TServiceState State;
  std::string StateAnswer;  // the service's last answer to STATE, as it came
  // What became of the child's last action ("Wrong PIN, 4 tries left"), shown
  // below the lines until the next one.
  std::string Notice;
  int32_t WarnMinutes = 0;
  TEndAction EndAction = TEndAction::PowerOff;
  bool IconAdded = false;
  HICON Icons[2] = {};  // allowed, time up
  // Per end of time (UTC, to the minute), the balloons already shown.
  std::set<std::pair<int64_t, int64_t>> Shown;

  // The status window and its controls; Status is null while it is closed.
  HWND Status = nullptr;
  HWND Lines[kMaxLines] = {};
  HWND AskButton = nullptr;
  HWND PinLabel = nullptr;
  HWND PinEdit = nullptr;
  HWND ApproveButton = nullptr;
  HWND Grid = nullptr;
  UINT Dpi = 96;          // of the status window's monitor
  HFONT Font = nullptr;   // the status window's, for Dpi
};

extern TTray Tray;

// --- the status window (win32_status_window.cpp) ---
void RegisterStatusClasses(HINSTANCE instance);
void ShowStatus(TTray& tray);
// Shows the tray's view, notice and the controls that fit the request.
void UpdateStatus(TTray& tray);

// --- the link to the service (win32_service_link.cpp) ---
enum class TServiceCall : uintptr_t { State, Ask, Pin };
// Starts the thread that makes the calls, and the one that waits for the
// package's goodbye.
void StartServiceLink(HWND window);
// Queues a call; its answer comes as kServiceAnswer. A PIN goes only to the
// service itself: to a pipe another program made under its name, the call
// fails without sending it.
void CallService(TServiceCall call, const std::string& request);
// Whether the service is installed; true when that cannot be told.
bool ServiceInstalled();
// For nortaveltray /ask: the request sent from this process, waiting for the
// answer. 0 and the answer, or the Windows error.
uint32_t CallServiceNow(const std::string& request, std::string& answer);
// For nortaveltray /goodbye (the package, before it removes the files): every
// clock is asked to end, and given up to a few seconds to do so.
void SayGoodbyeToTheClocks();

// --- the program (win32_main.cpp) ---
// Reads the configuration and the use again and shows them.
void Refresh(TTray& tray);
