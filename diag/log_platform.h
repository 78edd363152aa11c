#pragma once
// The file, attribute and locale calls behind the diagnostic log.

class TLogPlatform {
 public:
  virtual ~TLogPlatform() = default;
};

// The Windows implementation; not available natively.
TLogPlatform& PlatformLogFiles();
