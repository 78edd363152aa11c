// nortavelctl pin, requests, approve and deny: the parent's side of a child
// asking for more time. The requests are the service's: the tool reads the
// file it keeps them in and answers them through its pipe, so that the service
// closes the request and tells the child's clock at once.
#include <string>
#include <vector>

#include "common/calendar.h"
#include "common/protocol.h"
#include "ctl/budget.h"
#include "ctl/command_context.h"
#include "ctl/usage_error.h"
#include "diag/whole_file.h"
#include "engine/requests.h"
#include "winsys/config_writer.h"
#include "winsys/pin.h"

namespace {
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kAnswerWaitMs = 5000;

// The service's requests file: what it holds, and whether it could be read.
TWholeFile ReadRequestBook(const TRun& run, TRequestBook& book, std::string& path) {
  const std::string folder = UsagePlaces(run.Platform.Files).RecordFolder;
  if (folder.empty()) return TWholeFile::Failed;
  path = folder + kRequestsFileName;
  std::string text;
  const TWholeFile read = ReadWholeFile(run.Platform.Files, path, text);
  if (read == TWholeFile::Done) book.Parse(text);
  return read;
}

// Sends request to the service; its answer after "OK", or ECommandFailed
// with what went wrong and what to do.
std::string AskTheService(TRun& run, const std::string& request) {
  std::string answer;
  // Not only to a server in session 0: nothing secret is sent, and a pipe of
  // another program cannot act as the administrator, who connects for
  // identification only.
  const uint32_t error = run.Platform.Pipe.Call(kPipeName, request, answer, kAnswerWaitMs, false);
  if (error == kErrorFileNotFound)
    throw ECommandFailed("the service is not running, and only it can answer a request: start it with net start " +
                         std::string(kServiceName) + ", or give time with nortavelctl grant");
  if (error == kErrorAccessDenied) throw ECommandFailed("the service refused: run from an administrator command prompt");
  if (error != 0) throw ECommandFailed("cannot reach the service: " + ErrorText(error));
  const std::string ok = kAnswerOk;
  if (answer == ok || answer.rfind(ok + " ", 0) == 0) return answer.substr(std::min(answer.size(), ok.size() + 1));
  const std::string refusal = std::string(kAnswerError) + " ";
  throw ECommandFailed("the service says: " +
                       (answer.rfind(refusal, 0) == 0 ? answer.substr(refusal.size()) : "an answer it should not give"));
}

std::string ReadPinLine(TRun& run, const std::string& prompt) {
  run.Err << prompt << std::flush;
  std::string pin;
  if (!run.Platform.Tool.ReadLine(pin, true)) throw ECommandFailed("no PIN was typed: nothing stored");
  return pin;
}
}  // namespace

void RunPin(TRun& run, std::vector<std::string> words) {
  const bool clear = TakeFlag(words, "--clear");
  const bool fromInput = TakeFlag(words, "--stdin");
  ExpectWords("pin", words, 0, 0);
  if (clear && fromInput) throw EUsageError("pin takes --clear or --stdin, not both");
  TConfigWriter writer(run.Platform.Registry, run.Location);
  const std::string key = run.KeyText(kParentKeyName);
  if (clear) {
    run.Out << (writer.ClearPin() ? "The parent's PIN is removed from " + key + ".\n" : "No parent's PIN was set.\n")
            << "Requests can be answered with nortavelctl approve and deny.\n";
    return;
  }
  std::string pin;
  if (fromInput) {
    if (!run.Platform.Tool.ReadLine(pin, false)) throw ECommandFailed("standard input is empty: nothing stored");
  } else {
    pin = ReadPinLine(run, "New parent's PIN (4 to 12 digits): ");
    if (IsPinWellFormed(pin) && ReadPinLine(run, "Type it again: ") != pin)
      throw ECommandFailed("the two PINs differ: nothing stored");
  }
  if (!IsPinWellFormed(pin)) throw EUsageError("a PIN is 4 to 12 digits: nothing stored");
  const std::string hash = HashPin(run.Platform.Crypto, pin);
  if (hash.empty()) throw ECommandFailed("Windows' cryptography failed to protect the PIN: nothing stored");
  writer.WritePinHash(hash);
  run.Out << "The parent's PIN is stored, protected, in " << key
          << " (only SYSTEM and the Administrators may read it).\n"
          << "A parent can now approve a request at the child's clock.\n";
}

void RunApprove(TRun& run, std::vector<std::string> words) {
  ExpectWords("approve", words, 1, 2);
  const TConfiguration config = run.Load();
  const std::string user = ConfiguredUser(run, config, words[0], "approving a request");
  std::string request = std::string(kRequestApprove) + " " + user;
  if (words.size() == 2) {
    int64_t minutes = 0;
    if (!ParseHoursAndMinutes(words[1], minutes) || minutes == 0 || minutes > 24 * 60)
      throw EUsageError("approve takes a time like 30m, 2h or 1h30m, at most 24h, not '" + words[1] + "'");
    request += " " + std::to_string(minutes);
  }
  const std::string answer = AskTheService(run, request);
  const std::string until = answer.rfind("until ", 0) == 0 ? answer.substr(6) : answer;
  run.Out << user << " may use the computer until " << until << "; the request is closed.\n";
}

void RunDeny(TRun& run, std::vector<std::string> words) {
  ExpectWords("deny", words, 1, 1);
  const TConfiguration config = run.Load();
  const std::string user = ConfiguredUser(run, config, words[0], "denying a request");
  AskTheService(run, std::string(kRequestDeny) + " " + user);
  run.Out << user << "'s request is closed: their clock says that the answer is no.\n";
}

void RunRequests(TRun& run, std::vector<std::string> words) {
  ExpectWords("requests", words, 0, 0);
  std::string unreadable;
  const std::vector<std::string> lines = OpenRequestTexts(run, run.Load(), &unreadable);
  if (!unreadable.empty()) throw ECommandFailed("cannot read " + unreadable + ": run from an administrator command prompt");
  if (lines.empty()) run.Out << "No open requests.\n";
  for (const std::string& line : lines) run.Out << line << "\n";
}

std::vector<std::string> OpenRequestTexts(const TRun& run, const TConfiguration& config, std::string* unreadable) {
  TRequestBook book;
  std::string path;
  const TWholeFile read = ReadRequestBook(run, book, path);
  if (read == TWholeFile::Failed && unreadable != nullptr) *unreadable = path.empty() ? "the service's folder" : path;
  if (read != TWholeFile::Done) return {};
  TZoneClock clock = run.RuleClock(config);
  const int64_t now = SecondsOf(clock.LocalNow());
  // The requests carry UTC; the parent reads the rules' clock.
  const int64_t offset = now - SecondsOf(run.Platform.Clock.UtcNow());
  std::vector<std::string> lines;
  for (const auto& [user, request] : book.Open())
    if (request.Day == DayOf(now))
      lines.push_back(user + " asks for " + std::to_string(request.Minutes) + " min, " +
                      FormatClockTime(request.AskedUtc + offset));
  return lines;
}
