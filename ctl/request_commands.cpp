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

namespace {
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorAccessDenied = 5;

// The service's answer after "OK", or ECommandFailed with what went wrong and
// what to do.
std::string AnswerOf(const TServiceReply& reply) {
  if (reply.Error == kErrorFileNotFound)
    throw ECommandFailed("the service is not running, and only it can answer a request: start it with net start " +
                         std::string(kServiceName) + ", or give time with nortavelctl grant");
  if (reply.Error == kErrorAccessDenied)
    throw ECommandFailed("the service refused: run from an administrator command prompt");
  if (reply.Error != 0) throw ECommandFailed("cannot reach the service: " + ErrorText(reply.Error));
  if (!reply.Ok) throw ECommandFailed("the service says: " + reply.Refusal);
  return reply.Answer;
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
  const std::string key = run.KeyText(kParentKeyName);
  if (clear) {
    run.Out << (RemovePin(run) ? "The parent's PIN is removed from " + key + ".\n" : "No parent's PIN was set.\n")
            << "Requests can be answered with nortavelctl approve and deny.\n";
    return;
  }
  std::string pin;
  if (fromInput) {
    if (!run.Platform.Tool.ReadLine(pin, false)) throw ECommandFailed("standard input is empty: nothing stored");
  } else {
    pin = ReadPinLine(run, "New parent's PIN (4 to 12 digits): ");
    if (PinRefusal(pin).empty() && ReadPinLine(run, "Type it again: ") != pin)
      throw ECommandFailed("the two PINs differ: nothing stored");
  }
  if (!PinRefusal(pin).empty()) throw EUsageError("a PIN is 4 to 12 digits: nothing stored");
  StorePin(run, pin);
  run.Out << "The parent's PIN is stored, protected, in " << key
          << " (only SYSTEM and the Administrators may read it).\n"
          << "A parent can now approve a request at the child's clock.\n";
}

void RunApprove(TRun& run, std::vector<std::string> words) {
  ExpectWords("approve", words, 1, 2);
  const TConfiguration config = run.Load();
  const std::string user = ConfiguredUser(run, config, words[0], "approving a request");
  int64_t minutes = 0;
  if (words.size() == 2 && (!ParseHoursAndMinutes(words[1], minutes) || minutes == 0 || minutes > kMostExtraMinutes))
    throw EUsageError("approve takes a time like 30m, 2h or 1h30m, at most 24h, not '" + words[1] + "'");
  const std::string answer = AnswerOf(ApproveRequest(run, user, minutes));
  const std::string until = answer.rfind("until ", 0) == 0 ? answer.substr(6) : answer;
  run.Out << user << " may use the computer until " << until << "; the request is closed.\n";
}

void RunDeny(TRun& run, std::vector<std::string> words) {
  ExpectWords("deny", words, 1, 1);
  const TConfiguration config = run.Load();
  const std::string user = ConfiguredUser(run, config, words[0], "denying a request");
  AnswerOf(DenyRequest(run, user));
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
  std::vector<std::string> lines;
  for (const TOpenRequest& request : OpenRequests(run, config, unreadable))
    lines.push_back(request.User + " asks for " + std::to_string(request.Minutes) + " min, " +
                    FormatClockTime(request.Asked));
  return lines;
}
