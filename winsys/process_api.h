#pragma once
// The process and token calls behind session detection.

class TProcessApi {
 public:
  virtual ~TProcessApi() = default;
};

// The Windows implementation; not available natively.
TProcessApi& PlatformProcesses();
