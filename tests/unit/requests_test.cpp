// Asking for more time: the messages the pipe takes, its serving of one client
// at a time, the parent's PIN, and the service's answers to a child and to the
// tool.

#include <gtest/gtest.h>

#include "common/calendar.h"
#include "common/protocol.h"
#include "engine/pipe_server.h"
#include "engine/requests.h"
#include "tests/fakes/fake_platform.h"
#include "winsys/config_writer.h"
#include "winsys/pin.h"

namespace {

const std::string kMain = "SOFTWARE\\Vrem\\NortavelFree";
const std::string kAnna = kMain + "\\Time_restrictions\\anna";

TEST(RequestMessageTest, OnlyTheFiveRequestsInTheirExactFormAreRead) {
  const struct {
    std::string Message;
    TRequestKind Kind;
    int32_t Minutes;
    std::string Detail;  // the PIN or the user
  } cases[] = {
      {"ASK 30", TRequestKind::Ask, 30, ""},
      {"ASK 120", TRequestKind::Ask, 120, ""},
      {"ASK 45", TRequestKind::Invalid, 0, ""},  // not one of the choices
      {"ASK  30", TRequestKind::Invalid, 0, ""},
      {"ask 30", TRequestKind::Invalid, 0, ""},
      {"STATE", TRequestKind::State, 0, ""},
      {"STATE now", TRequestKind::Invalid, 0, ""},
      {"PIN 1234", TRequestKind::Pin, 0, "1234"},
      {"PIN 123", TRequestKind::Invalid, 0, ""},
      {"PIN 1234567890123", TRequestKind::Invalid, 0, ""},
      {"PIN 12a4", TRequestKind::Invalid, 0, ""},
      {"PIN 1234\n", TRequestKind::Invalid, 0, ""},
      {"APPROVE anna", TRequestKind::Approve, 0, "anna"},
      {"APPROVE anna 90", TRequestKind::Approve, 90, "anna"},
      {"APPROVE anna 0", TRequestKind::Invalid, 0, ""},
      {"APPROVE anna 090", TRequestKind::Invalid, 0, ""},
      {"APPROVE anna 1441", TRequestKind::Invalid, 0, ""},
      {"DENY anna", TRequestKind::Deny, 0, "anna"},
      {"DENY", TRequestKind::Invalid, 0, ""},
      {"", TRequestKind::Invalid, 0, ""},
  };
  for (const auto& c : cases) {
    const TRequestMessage parsed = ParseRequestMessage(c.Message);
    EXPECT_EQ(parsed.Kind, c.Kind) << c.Message;
    EXPECT_EQ(parsed.Minutes, c.Minutes) << c.Message;
    EXPECT_EQ(parsed.Kind == TRequestKind::Pin ? parsed.Pin : parsed.User, c.Detail) << c.Message;
  }
}

// One client at a time: its request read with a bound on size and time, who it
// is taken from the pipe, the answer written; a client that says nothing, or
// too much, never reaches the service.
TEST(PipeServerTest, EachClientIsReadBoundedAndAnsweredWithWhoThePipeSaysItIs) {
  TFakePipeServer pipe;
  std::vector<std::string> handled;
  TPipeServer server(pipe, [&](const TPipeClient& client, const std::string& request) {
    handled.push_back(client.User + (client.Administrator ? " (admin)" : "") + ": " + request);
    if (request == "boom") throw std::runtime_error("boom");
    return std::string("OK");
  });
  ASSERT_EQ(server.Open(), 0u);
  EXPECT_EQ(pipe.Created, (std::vector<std::string>{std::string(kPipeName) + "|" + kPipeAccess + "|first",
                                                    "Global\\NortavelFreeClockGoodbye|" + std::string(kClockGoodbyeAccess)}));
  EXPECT_EQ(std::string(kClockGoodbyeAccess), "D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x100000;;;IU)");
  pipe.Clients = {{"anna", false, std::string("STATE"), false},
                  {"anna", false, std::nullopt, false},
                  {"bert", false, std::nullopt, true},
                  {"root", true, std::string("boom"), false}};
  server.Serve();
  EXPECT_EQ(handled, (std::vector<std::string>{"anna: STATE", "root (admin): boom"}));
  EXPECT_EQ(pipe.Answers, (std::vector<std::string>{"OK", "ERR the request is longer than 512 bytes",
                                                    "ERR the service could not answer"}));
  EXPECT_EQ(pipe.Ended, 4) << "every client is let go";
  EXPECT_EQ(pipe.LastReadRoom, kMaxRequestBytes);
  EXPECT_EQ(pipe.LastReadTimeoutMs, 5000u);
}

TEST(PinTest, AHashIsSaltedHeldAsTextAndMatchesOnlyItsPin) {
  TFakeCrypto crypto;
  EXPECT_TRUE(IsPinWellFormed("0000"));
  EXPECT_FALSE(IsPinWellFormed("123"));
  const std::string stored = HashPin(crypto, "2468");
  ASSERT_EQ(stored.substr(0, 21), "pbkdf2-sha256:200000:");
  EXPECT_EQ(stored.size(), 21u + 32 + 1 + 64);
  EXPECT_NE(HashPin(crypto, "2468"), stored) << "another salt each time";
  EXPECT_TRUE(PinMatches(crypto, stored, "2468"));
  EXPECT_FALSE(PinMatches(crypto, stored, "2469"));
  for (const std::string& broken : {stored.substr(1), std::string("pbkdf2-sha256:0:00:00"), stored + ":"})
    EXPECT_FALSE(PinMatches(crypto, broken, "2468")) << broken;
  crypto.Fails = true;
  EXPECT_EQ(HashPin(crypto, "2468"), "");
}

// The real derivation, natively OpenSSL's: RFC 7914's PBKDF2-HMAC-SHA256 test.
TEST(PinTest, ThePlatformsDerivationIsPbkdf2HmacSha256) {
  const uint8_t salt[] = {'s', 'a', 'l', 't'};
  uint8_t key[16];
  ASSERT_TRUE(PlatformCrypto().Pbkdf2Sha256("passwd", salt, sizeof salt, 1, key, sizeof key));
  const uint8_t expected[16] = {0x55, 0xac, 0x04, 0x6e, 0x56, 0xe3, 0x08, 0x9f,
                                0xec, 0x16, 0x91, 0xc2, 0x25, 0x44, 0xb6, 0x05};
  EXPECT_EQ(std::vector<uint8_t>(key, key + 16), std::vector<uint8_t>(expected, expected + 16));
}

// Users can read the main key (their clock does); the Parent key shuts them out.
TEST(PinTest, TheHashGoesIntoAKeyOnlySystemAndTheAdministratorsMayOpen) {
  EXPECT_EQ(std::string(kParentKeyAccess), "D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)");
  TFakeRegistry registry;
  TConfigWriter(registry, TConfigLocation()).WritePinHash("pbkdf2-sha256:1:00:00");
  ASSERT_EQ(registry.Access.size(), 1u);
  EXPECT_EQ(registry.Access.begin()->second, kParentKeyAccess);
  EXPECT_EQ(ReadPinHash(registry, TConfigLocation()), "pbkdf2-sha256:1:00:00");
  EXPECT_TRUE(TConfigWriter(registry, TConfigLocation()).ClearPin());
  EXPECT_EQ(ReadPinHash(registry, TConfigLocation()), "");
}

class RequestAnswerTest : public ::testing::Test {
 protected:
  RequestAnswerTest() {
    Platform.Registry.SetDword(kMain, "Debug", 2);
    Platform.Registry.SetString(kMain, "Path", "C:\\Logs");
    for (int day = 1; day <= 7; ++day)  // 15:00-16:00: restricted at 16:10
      Platform.Registry.SetString(kAnna, "Time" + std::to_string(day),
                                  std::string(30, '1') + std::string(2, '0') + std::string(16, '1'));
    Platform.Clock.Set(1, 16, 10);  // Monday 16:10
    bool started = true;
    Module.ServiceStart(&Module, started);
  }
  std::string Ask(const std::string& request, const std::string& user = "anna", bool administrator = false) {
    return Module.AnswerRequest(TPipeClient{user, administrator}, request);
  }
  void SetPin(const std::string& pin) {
    TConfigWriter(Platform.Registry, TConfigLocation()).WritePinHash(HashPin(Platform.Crypto, pin, 1));
  }
  std::string Stored(const std::string& name) {
    for (const TRegistryValue& value : Platform.Registry.ValuesOf(kAnna))
      if (value.Name == name) return value.Data;
    return "(none)";
  }
  TFakePlatform Platform;
  TNortavelFree Module{Platform.View()};
};

TEST_F(RequestAnswerTest, AChildAsksAtMostSixTimesADayAndIsNamedByThePipe) {
  EXPECT_EQ(Ask("ASK 30", "bert"), "ERR you have no time limits");
  EXPECT_EQ(Ask("ASK 30", "ANNA"), "OK");
  EXPECT_EQ(Ask("STATE"), "OK asked=30@16:10");
  EXPECT_NE(Platform.LogFiles.Data("C:\\ProgramData\\NortavelFree\\service\\requests.txt").find(",open,30,"),
            std::string::npos);
  bool evented = false;
  for (const TRecordedEvent& event : Platform.ServiceRuntime.Events())
    evented |= event.Message == "Extra time requested by user: anna 30 min" &&
               event.Type == TEventLogger::kInformationType;
  EXPECT_TRUE(evented);
  for (int i = 2; i <= 6; ++i) EXPECT_EQ(Ask("ASK 15"), "OK") << i;
  EXPECT_EQ(Ask("ASK 15"), "ERR you have asked 6 times today");
  EXPECT_EQ(Ask("HELLO"), "ERR unknown request");
}

// A restart keeps what was asked; the day's end takes it away.
TEST_F(RequestAnswerTest, RequestsOutliveARestartButNotTheirDay) {
  ASSERT_EQ(Ask("ASK 60"), "OK");
  TNortavelFree next(Platform.View());
  bool started = true;
  next.ServiceStart(&next, started);
  EXPECT_EQ(next.AnswerRequest(TPipeClient{"anna", false}, "STATE"), "OK asked=60@16:10");
  Platform.Clock.Set(2, 0, 1);
  EXPECT_EQ(next.AnswerRequest(TPipeClient{"anna", false}, "STATE"), "OK");
}

// Five wrong PINs in a row close PIN entry for everybody for 15 minutes, the
// right one included; after that the right PIN grants what was asked, as grant
// does, and the service reads it at once.
TEST_F(RequestAnswerTest, TheRightPinApprovesAndFiveWrongOnesCloseEntryForAWhile) {
  EXPECT_EQ(Ask("PIN 1234"), "ERR there is no request to approve");
  ASSERT_EQ(Ask("ASK 30"), "OK");
  EXPECT_EQ(Ask("PIN 1234"), "ERR no parent's PIN is set: a parent can answer with nortavelctl approve");
  SetPin("2468");
  for (const char* left : {"4 tries", "3 tries", "2 tries", "1 try"})
    EXPECT_EQ(Ask("PIN 1111"), std::string("ERR wrong PIN, ") + left + " left");
  EXPECT_EQ(Ask("PIN 1111"), "ERR wrong PIN; PIN entry is closed for 15 minutes");
  EXPECT_EQ(Ask("PIN 2468"), "ERR PIN entry is closed for a while after too many wrong PINs");
  EXPECT_EQ(Stored("AllowUntil"), "(none)");
  Platform.Clock.Set(1, 16, 25);
  EXPECT_EQ(Ask("PIN 2468"), "OK until 16:55");
  EXPECT_EQ(Stored("AllowUntil"), std::string("2026-12-07 16:55") + '\0');
  EXPECT_EQ(Ask("STATE"), "OK answer=approved@16:55");
  Platform.Clock.Advance(kTickPeriodMs);
  Module.Timer1Timer(&Module.Timer1);
  EXPECT_EQ(Module.UserExtras[0].ExtraTime.Text, "2026-12-07 16:55") << "read at the next tick";
}

TEST_F(RequestAnswerTest, OnlyAnAdministratorAnswersFromTheTool) {
  ASSERT_EQ(Ask("ASK 30"), "OK");
  EXPECT_EQ(Ask("APPROVE anna"), "ERR only an administrator may answer a request");
  EXPECT_EQ(Ask("DENY nobody", "root", true), "ERR nobody has no time limits");
  EXPECT_EQ(Ask("DENY ANNA", "root", true), "OK");
  EXPECT_EQ(Ask("STATE"), "OK answer=denied");
  EXPECT_EQ(Ask("DENY anna", "root", true), "ERR anna has no open request");
  EXPECT_EQ(Ask("APPROVE anna 45", "root", true), "OK until 16:55") << "an amount of one's own needs no request";
}

}  // namespace
