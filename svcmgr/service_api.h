#pragma once
// The service control manager, thread and message calls of the service runtime.
// Declared here so that the module can be handed one; its operations are added
// with the runtime.

class TServiceRuntimeApi {
 public:
  virtual ~TServiceRuntimeApi() = default;
};

// The Windows implementation; not available natively.
TServiceRuntimeApi& PlatformServiceRuntimeApi();
