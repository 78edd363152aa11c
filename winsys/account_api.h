#pragma once
// The account, privilege and power calls behind lock-out and power-off.

class TAccountApi {
 public:
  virtual ~TAccountApi() = default;
};

// The Windows implementation; not available natively.
TAccountApi& PlatformAccounts();
