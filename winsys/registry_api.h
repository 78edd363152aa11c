#pragma once
// The registry calls behind the configuration loader.

class TRegistryApi {
 public:
  virtual ~TRegistryApi() = default;
};

// The Windows implementation; not available natively.
TRegistryApi& PlatformRegistry();
