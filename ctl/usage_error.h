#pragma once
// A command line nortavelctl cannot act on. The message says what is wrong, where
// and how to put it right, and reads well after "nortavelctl: " on standard error.

#include "common/exceptions.h"

class EUsageError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EUsageError"; }
};

// A command that could not do its work, or found that it must not: the message
// says what and names the fix. The tool exits with 1.
class ECommandFailed : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "ECommandFailed"; }
};
