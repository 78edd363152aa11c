// Talks to the service's pipe as a client would, for the end-to-end scenarios.
//   pipe_client.exe REQUEST...   sends each request, prints each answer on a line
//                                ("error N" when the pipe could not be reached)
//   pipe_client.exe --flood N    sends N malformed, oversized or silent requests
//                                as fast as the pipe takes them; prints how many
//                                got ERR, how many got anything else, and the ms
#include "common/win32.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/protocol.h"
#include "winsys/pipe_api.h"

namespace {
constexpr uint32_t kWaitMs = 5000;

// A client that connects and says nothing: the service must let it go.
void Silent() {
  WaitNamedPipeA(kPipeName, kWaitMs);
  HANDLE pipe = CreateFileA(kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (pipe != INVALID_HANDLE_VALUE) CloseHandle(pipe);
}

int Flood(int count) {
  const std::string bad[] = {std::string(kMaxRequestBytes + 100, 'A'), "ASK 45", std::string("\x01\x02\xff", 3),
                             "", "STATE extra", "PIN 12", "APPROVE", "ask 30", "DENY " + std::string(300, 'x')};
  int errors = 0, others = 0;
  const DWORD start = GetTickCount();
  for (int i = 0; i < count; ++i) {
    if (i % 10 == 9) {
      Silent();
      continue;
    }
    std::string answer;
    const uint32_t error = PlatformPipeClient().Call(kPipeName, bad[i % 9], answer, kWaitMs, false);
    if (error == 0 && answer.rfind("ERR", 0) == 0) {
      ++errors;
    } else {
      ++others;
      std::printf("message %d: error %u, answer %s\n", i, error, answer.c_str());
    }
  }
  std::printf("errors=%d others=%d ms=%lu\n", errors, others, GetTickCount() - start);
  return others == 0 ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--flood") == 0) return Flood(std::atoi(argv[2]));
  for (int i = 1; i < argc; ++i) {
    std::string answer;
    const uint32_t error = PlatformPipeClient().Call(kPipeName, argv[i], answer, kWaitMs, false);
    if (error != 0) std::printf("error %u\n", error);
    else std::printf("%s\n", answer.c_str());
  }
  return 0;
}
