// Asking for more time over the real Windows calls: CNG derives the PIN's hash
// as RFC 7914 says, the pipe carries a request and its answer (a message too
// long included) and refuses a second server of the name, a client that wants
// the service alone refuses a pipe outside session 0, and the PIN's key takes
// its access list and its hash.

#define _WIN32_WINNT 0x0600
#include "common/win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/protocol.h"
#include "winsys/config_writer.h"
#include "winsys/crypto_api.h"
#include "winsys/pin.h"
#include "winsys/pipe_api.h"

namespace {

TEST(WineRequestsTest, CngDerivesRfc7914sVectorAndGivesRandomBytes) {
  const uint8_t salt[] = {'s', 'a', 'l', 't'};
  uint8_t key[16];
  ASSERT_TRUE(PlatformCrypto().Pbkdf2Sha256("passwd", salt, sizeof salt, 1, key, sizeof key));
  const uint8_t expected[16] = {0x55, 0xac, 0x04, 0x6e, 0x56, 0xe3, 0x08, 0x9f,
                                0xec, 0x16, 0x91, 0xc2, 0x25, 0x44, 0xb6, 0x05};
  EXPECT_EQ(std::vector<uint8_t>(key, key + 16), std::vector<uint8_t>(expected, expected + 16));
  uint8_t first[16] = {}, second[16] = {};
  ASSERT_TRUE(PlatformCrypto().Random(first, sizeof first));
  ASSERT_TRUE(PlatformCrypto().Random(second, sizeof second));
  EXPECT_NE(std::vector<uint8_t>(first, first + 16), std::vector<uint8_t>(second, second + 16));
}

TEST(WineRequestsTest, ThePipeCarriesOneRequestAndItsAnswerAndHasOneServer) {
  const std::string name = "\\\\.\\pipe\\NortavelFreeTest" + std::to_string(GetCurrentProcessId());
  TPipeServerApi& server = PlatformPipeServer();
  ASSERT_EQ(server.Create(name, kPipeAccess, true), 0u);
  // The name is taken: nobody else serves it, not even with the same rights.
  HANDLE squatter = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                     PIPE_TYPE_MESSAGE, 1, 512, 512, 0, nullptr);
  EXPECT_EQ(squatter, INVALID_HANDLE_VALUE);
  if (squatter != INVALID_HANDLE_VALUE) CloseHandle(squatter);

  std::vector<std::string> seen;
  std::atomic<int> served{0};
  std::thread serving([&] {
    while (server.WaitForClient() == TPipeServerApi::TWait::Client) {
      std::string request;
      const TPipeServerApi::TRead read = server.Read(request, kMaxRequestBytes, 5000);
      bool administrator = false;
      const std::string user = server.ClientUser(administrator);
      seen.push_back(read == TPipeServerApi::TRead::TooLong  ? "too long"
                     : read == TPipeServerApi::TRead::Failed ? "nothing"
                                                             : request + " from " + (user.empty() ? "?" : "a user"));
      server.Answer(read == TPipeServerApi::TRead::TooLong ? "ERR long" : "OK asked=30@18:05", 5000);
      server.EndClient();
      ++served;
    }
  });
  std::string answer;
  EXPECT_EQ(PlatformPipeClient().Call(name, "STATE", answer, 5000, false), 0u);
  EXPECT_EQ(answer, "OK asked=30@18:05");
  EXPECT_EQ(PlatformPipeClient().Call(name, std::string(2000, 'A'), answer, 5000, false), 0u);
  EXPECT_EQ(answer, "ERR long") << "the rest of a message too long must not cut the answer off";
  // Wine runs every process in session 1, the server too: a client that wants
  // the service sends nothing to it.
  EXPECT_EQ(PlatformPipeClient().Call(name, "PIN 4711", answer, 1000, true), TPipeClientApi::kNotTheService);
  // The server's turn with the client that left.
  for (int waited = 0; served < 3 && waited < 5000; waited += 10) Sleep(10);
  server.Stop();
  serving.join();
  EXPECT_EQ(seen, (std::vector<std::string>{"STATE from a user", "too long", "nothing"}));
}

// The key's access list is set through the real call before the hash is
// written; the hash reads back only from a string value (ReadPinHash refuses
// any other type).
TEST(WineRequestsTest, TheHashIsWrittenBehindItsAccessListAndReadsBack) {
  const std::string root = "SOFTWARE\\NortavelPinTest" + std::to_string(GetCurrentProcessId());
  TConfigLocation location;
  location.MainKeyPath = "\\" + root + "\\";
  TConfigWriter(PlatformRegistry(), location).WritePinHash("pbkdf2-sha256:1:00:00");
  EXPECT_EQ(ReadPinHash(PlatformRegistry(), location), "pbkdf2-sha256:1:00:00");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, root.c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, root.c_str());
}

}  // namespace
