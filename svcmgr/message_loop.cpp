#include "svcmgr/message_loop.h"

#include <algorithm>
#include <exception>

#include "svcmgr/components.h"
#include "svcmgr/os_error.h"

TApplication::TApplication(TMessageLoopApi& api) : Api(api) {
  Window = Api.CreateAppWindow(*this);
  if (Window == 0) throw OSError(Api.LastError());
}

TApplication::~TApplication() { Api.DestroyAppWindow(Window); }

void TApplication::HandleMessage() {
  try {
    switch (Api.TakeAndDispatch()) {
      case TTakeResult::Quit:
        TerminatedFlag = true;
        break;
      case TTakeResult::Dispatched:
        break;
      case TTakeResult::Empty:
        // Nothing to do while idle: wait without polling. A sent message handled
        // during the look may have ended the loop already.
        if (!TerminatedFlag) Api.WaitForNextMessage();
        break;
    }
  } catch (const Exception& error) {
    HandleException(error);
  }
}

void TApplication::Run() {
  while (!TerminatedFlag) HandleMessage();
}

void TApplication::HandleException(const Exception& error) { HandleApplicationException(error); }

int TApplication::HookMainWindow(TWindowHook hook) {
  const int id = NextHookId++;
  Hooks.emplace_back(id, std::move(hook));
  return id;
}

void TApplication::UnhookMainWindow(int id) {
  Hooks.erase(std::remove_if(Hooks.begin(), Hooks.end(), [id](const auto& entry) { return entry.first == id; }),
              Hooks.end());
}

bool TApplication::WindowMessage(TWindowMessage& message) {
  try {
    // A copy, so that a hook may unhook itself or another.
    const auto hooks = Hooks;
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
      if (it->second(message)) return true;
    if (message.Msg == kWmEndSession && message.WParam != 0) {
      // The user's session ends: leave the loop so the process ends normally.
      TerminatedFlag = true;
      message.Result = 0;
      return true;
    }
  } catch (const Exception& error) {
    HandleException(error);
    return true;
  } catch (...) {
    return true;
  }
  return false;
}
