#pragma once
// The complaints of nortavelctl. A message says what is wrong, where and how to
// put it right, and reads well after "nortavelctl: " on standard error.

#include "admin/admin_errors.h"
#include "common/exceptions.h"

// A command line nortavelctl cannot act on. The tool exits with 2.
class EUsageError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EUsageError"; }
};
