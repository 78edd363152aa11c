#pragma once
// TApplication: the main thread's message loop. It owns a hidden top-level
// window, which the dispatcher thread posts its quit message to; a terminated
// flag set when the loop takes that message; and the exception hook through which
// errors raised while a message is handled reach the application's exception
// handling (components.h).
//
// Thread: created, run and destroyed on the main thread, which owns its window.
// Handle() may be read from any thread; the window is posted to from the
// dispatcher thread.

#include <cstdint>
#include <functional>
#include <vector>

#include "common/exceptions.h"
#include "svcmgr/message_loop_api.h"

// A message of the hidden window as its hooks see it; Result is the message's
// result when a hook handles it.
struct TWindowMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

// Returns true when it has handled the message; nothing further is done with it then.
using TWindowHook = std::function<bool(TWindowMessage& message)>;

class TApplication {
 public:
  // Creates the hidden window on the calling thread; raises the failed-system-call
  // error when it cannot be created.
  explicit TApplication(TMessageLoopApi& api);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  uintptr_t Handle() const { return Window; }
  bool Terminated() const { return TerminatedFlag; }
  // The process shows no main window; kept for the service application to clear.
  bool ShowMainForm = true;

  // Takes and dispatches one pending message, or, when none is pending, waits for
  // the next one. A quit message sets the terminated flag. An Exception raised
  // while the message is handled goes to HandleException; any other error passes on.
  void HandleMessage();
  // HandleMessage until the terminated flag is set.
  void Run();
  // Sets the terminated flag.
  void Terminate() { TerminatedFlag = true; }
  // The application's exception handling: the installed exception hook.
  void HandleException(const Exception& error);

  // Hooks see every message of the hidden window first, newest first. The id
  // returned removes the hook again.
  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int id);

  // The hidden window's procedure (main thread). Returns true when the message
  // was handled here, with its result in message.Result; false leaves it to the
  // platform's default handling. Never raises.
  bool WindowMessage(TWindowMessage& message);

 private:
  TMessageLoopApi& Api;
  uintptr_t Window = 0;
  bool TerminatedFlag = false;
  int NextHookId = 1;
  std::vector<std::pair<int, TWindowHook>> Hooks;
};
