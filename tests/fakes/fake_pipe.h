#pragma once
// The service's pipe with scripted clients, each with who they are and what
// they send; the answers written are kept. When the clients are all served, or
// Stop was called, it waits for no more (the service's pipe thread asks, the
// test's thread stops it: both under one lock). And a client whose calls are
// kept and answered as scripted.

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/protocol.h"
#include "winsys/pipe_api.h"

class TFakePipeServer : public TPipeServerApi {
 public:
  struct TClient {
    std::string User;
    bool Administrator = false;
    std::optional<std::string> Message;  // none: sends nothing, and times out
    bool TooLong = false;
  };
  std::deque<TClient> Clients;
  std::vector<std::string> Answers;
  std::vector<std::string> Created;  // "name|sddl|first"
  int Ended = 0;
  uint32_t LastReadTimeoutMs = 0;
  size_t LastReadRoom = 0;

  uint32_t Create(const std::string& name, const std::string& sddl, bool first) override {
    Created.push_back(name + "|" + sddl + "|" + (first ? "first" : "more"));
    return 0;
  }
  uint32_t CreateGoodbye(const std::string& name, const std::string& sddl) override {
    Created.push_back(name + "|" + sddl);
    return 0;
  }
  TWait WaitForClient() override {
    std::lock_guard<std::mutex> guard(Lock);
    if (Stopped || Clients.empty()) return TWait::Stopped;
    Current = Clients.front();
    Clients.pop_front();
    return TWait::Client;
  }
  TRead Read(std::string& message, size_t room, uint32_t timeoutMs) override {
    LastReadRoom = room;
    LastReadTimeoutMs = timeoutMs;
    if (Current.TooLong) return TRead::TooLong;
    if (!Current.Message) return TRead::TimedOut;
    message = *Current.Message;
    return TRead::Message;
  }
  bool Answer(const std::string& text, uint32_t) override {
    Answers.push_back(text);
    return true;
  }
  std::string ClientUser(bool& administrator) override {
    administrator = Current.Administrator;
    return Current.User;
  }
  void EndClient() override { ++Ended; }
  void Stop() override {
    std::lock_guard<std::mutex> guard(Lock);
    Stopped = true;
  }

 private:
  std::mutex Lock;
  TClient Current;
  bool Stopped = false;
};

class TFakePipeClient : public TPipeClientApi {
 public:
  std::vector<std::string> Calls;  // "request" or "request|service only"
  std::string Reply = "OK";
  uint32_t Error = 0;

  uint32_t Call(const std::string& name, const std::string& request, std::string& answer, uint32_t,
                bool serviceOnly) override {
    Calls.push_back(request + (serviceOnly ? "|service only" : "") + (name == kPipeName ? "" : "|" + name));
    if (Error == 0) answer = Reply;
    return Error;
  }
};
