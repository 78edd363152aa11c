#pragma once
// The smallest component model the window classes and the service host need: a
// named component, and the message loop's exception hook through which errors
// raised while a window message is handled (a timer tick) reach the application's
// exception handling. A hook rather than a call, so that the message loop and the
// timer do not depend on whichever application handles their errors.

#include <functional>
#include <string>

#include "common/exceptions.h"

class TComponent {
 public:
  virtual ~TComponent() = default;
  std::string Name;
};

using TNotifyEvent = std::function<void(TComponent* sender)>;

// Installed by the service application before the dispatcher starts; cleared when
// it is released. Thread: set on the main thread, called on the main thread.
void SetApplicationExceptionHook(std::function<void(const Exception&)> hook);

// Hands an error raised in a message handler to the installed hook; without a hook
// the error is dropped, since nothing may escape a window procedure.
void HandleApplicationException(const Exception& error);
