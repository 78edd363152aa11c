#pragma once
// A module whose subsystem operations only record that they were called, so the
// tick cycle and the handlers can be checked for order and count.

#include <functional>
#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

class TCountingModule : public TNortavelFree {
 public:
  using TNortavelFree::HandleCustomControl;
  explicit TCountingModule(TFakePlatform& platform) : TNortavelFree(platform.View()) {}

  bool LoadConfiguration() override {
    Calls.push_back("load");
    if (OnLoad) OnLoad();
    return true;
  }
  void CollectSeenAccounts() override { Calls.push_back("collect"); }
  void EnforceRestrictions() override {
    Calls.push_back("enforce");
    if (OnEnforce) OnEnforce();
  }
  void FlushLog() override { Calls.push_back("flush"); }
  void TrimLogFile() override { Calls.push_back("trim"); }
  void Log(const std::string& message) override { Calls.push_back("log " + message); }

  // Runs the real pass instead of recording it.
  void RealEnforceRestrictions() { TNortavelFree::EnforceRestrictions(); }

  std::vector<std::string> Calls;
  std::function<void()> OnLoad;
  std::function<void()> OnEnforce;
};
