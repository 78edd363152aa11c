#pragma once
// A service module for the service application's tests: the registration
// properties of NortavelFree, and a journal of what happened to it.

#include <memory>
#include <string>
#include <vector>

#include "svcmgr/service.h"
#include "tests/fakes/fake_service_runtime.h"

class TJournalService : public TService {
 public:
  TJournalService(std::vector<std::string>& journal, std::string name = "NortavelFree",
                  std::string displayName = "Nortavel free")
      : TService(Runtime), Journal(journal) {
    Name = std::move(name);
    DisplayName = std::move(displayName);
    AllowPause = false;
    WaitHint = 2000;
    OnCreate = [this](TComponent*) { Journal.push_back("create " + Name); };
    OnDestroy = [this](TComponent*) {
      Journal.push_back("destroy " + Name);
      if (FailDestroy) throw Exception("destroy failed");
    };
  }
  ~TJournalService() override { Journal.push_back("deleted " + Name); }

  TServiceControlEntry GetControlEntry() override { return nullptr; }
  void RunService(uint32_t argCount, char** args) override {
    Journal.push_back("run " + Name + " " + std::to_string(argCount) + " " + args[0]);
  }

  bool FailDestroy = false;

 private:
  TFakeServiceRuntime Runtime;
  std::vector<std::string>& Journal;
};
