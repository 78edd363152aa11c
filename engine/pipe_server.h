#pragma once
// The service's side of its local pipe: a thread of its own that takes one
// client at a time, reads its one request (bounded in size, and in time: a
// client that sends nothing is dropped after kClientTimeoutMs), hands it to the
// module with who asks, as the pipe tells it, and writes the answer. Nothing
// here waits on a tick, and a tick never waits on it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "winsys/pipe_api.h"

// Who asks, as the pipe itself tells it; never what a message says.
struct TPipeClient {
  std::string User;
  bool Administrator = false;
};

class TPipeServer {
 public:
  static constexpr uint32_t kClientTimeoutMs = 5000;
  using THandler = std::function<std::string(const TPipeClient& client, const std::string& request)>;

  TPipeServer(TPipeServerApi& api, THandler handler) : Api(api), Handler(std::move(handler)) {}
  ~TPipeServer() { Stop(); }

  // Makes the pipe's first instance, and the clocks' goodbye event: the
  // service calls it before it reports running, so that no other process can
  // hold the names first. 0, or the Windows error of the pipe.
  uint32_t Open();
  // Serves on a thread of its own until Stop, which waits for it.
  void Start();
  void Stop();
  // Serves clients until the pipe is stopped or fails (the thread's body).
  void Serve();

 private:
  TPipeServerApi& Api;
  THandler Handler;
  std::thread Thread;
  bool Opened = false;
};
