#include "engine/requests.h"

#include <algorithm>

#include "common/protocol.h"
#include "common/text.h"
#include "engine/usage.h"
#include "winsys/pin.h"

namespace {

std::vector<std::string> Words(const std::string& message) {
  std::vector<std::string> words;
  size_t from = 0;
  for (;;) {
    const size_t blank = message.find(' ', from);
    words.push_back(message.substr(from, blank == std::string::npos ? std::string::npos : blank - from));
    if (blank == std::string::npos) return words;
    from = blank + 1;
  }
}

bool Digits(const std::string& text, size_t least, size_t most) {
  return text.size() >= least && text.size() <= most &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int32_t Number(const std::string& text) {
  int32_t value = 0;
  for (const char c : text) value = value * 10 + (c - '0');
  return value;
}

// No account name holds a control character; one that did would break the
// file's lines.
bool HasControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < ' '; });
}

// A number of minutes as the tool and the clock write it: no sign, no
// leading zero, at most four digits.
bool ReadMinutes(const std::string& text, int32_t& minutes) {
  if (!Digits(text, 1, 4) || text[0] == '0') return false;
  minutes = Number(text);
  return true;
}

// "<day>,<what>,..." lines: the day first, then the fields, the user last, so
// that a name is read whole whatever it holds.
std::vector<std::string> Fields(const std::string& line, size_t count) {
  std::vector<std::string> fields;
  size_t from = 0;
  while (fields.size() + 1 < count) {
    const size_t comma = line.find(',', from);
    if (comma == std::string::npos) return {};
    fields.push_back(line.substr(from, comma - from));
    from = comma + 1;
  }
  fields.push_back(line.substr(from));
  return fields.back().empty() ? std::vector<std::string>() : fields;
}
}  // namespace

TRequestMessage ParseRequestMessage(const std::string& message) {
  TRequestMessage parsed;
  if (message.empty() || message.size() > kMaxRequestBytes) return parsed;
  for (const char c : message)
    if (static_cast<unsigned char>(c) < ' ') return parsed;
  const std::vector<std::string> words = Words(message);
  const std::string& verb = words[0];
  if (verb == kRequestState && words.size() == 1) {
    parsed.Kind = TRequestKind::State;
  } else if (int32_t minutes = 0; verb == kRequestAsk && words.size() == 2 && ReadMinutes(words[1], minutes)) {
    if (std::find(std::begin(kAskMinutes), std::end(kAskMinutes), minutes) == std::end(kAskMinutes)) return parsed;
    parsed.Kind = TRequestKind::Ask;
    parsed.Minutes = minutes;
  } else if (verb == kRequestPin && words.size() == 2 && IsPinWellFormed(words[1])) {
    parsed.Kind = TRequestKind::Pin;
    parsed.Pin = words[1];
  } else if (verb == kRequestDeny && words.size() == 2 && !words[1].empty()) {
    parsed.Kind = TRequestKind::Deny;
    parsed.User = words[1];
  } else if (verb == kRequestApprove && (words.size() == 2 || words.size() == 3) && !words[1].empty()) {
    if (words.size() == 3 && (!ReadMinutes(words[2], parsed.Minutes) || parsed.Minutes > kMostExtraMinutes)) {
      parsed.Minutes = 0;
      return parsed;
    }
    parsed.Kind = TRequestKind::Approve;
    parsed.User = words[1];
  }
  return parsed;
}

bool TRequestBook::Ask(const std::string& user, int32_t minutes, int64_t nowUtc, int64_t today) {
  TAsks& asked = Asked[user];
  if (asked.Day != today) asked = TAsks{today, 0};
  if (asked.Count >= kMostAsksPerDay) return false;
  ++asked.Count;
  Requests[user] = TTimeRequest{minutes, nowUtc, today};
  Answers.erase(user);
  Dirty = true;
  return true;
}

void TRequestBook::Answer(const std::string& user, const TRequestAnswer& answer) {
  Requests.erase(user);
  Answers[user] = answer;
  Dirty = true;
}

const TTimeRequest* TRequestBook::OpenOf(const std::string& user) const {
  const auto found = Requests.find(user);
  return found == Requests.end() ? nullptr : &found->second;
}

const TRequestAnswer* TRequestBook::AnswerOf(const std::string& user) const {
  const auto found = Answers.find(user);
  return found == Answers.end() ? nullptr : &found->second;
}

void TRequestBook::Expire(int64_t today) {
  auto expire = [&](auto& entries, auto dayOf) {
    for (auto entry = entries.begin(); entry != entries.end();) {
      if (dayOf(entry->second) < today) {
        entry = entries.erase(entry);
        Dirty = true;
      } else {
        ++entry;
      }
    }
  };
  expire(Requests, [](const TTimeRequest& request) { return request.Day; });
  expire(Answers, [](const TRequestAnswer& answer) { return answer.Day; });
  expire(Asked, [](const TAsks& asks) { return asks.Day; });
}

std::string TRequestBook::Format() {
  std::string text;
  for (const auto& [user, asks] : Asked)
    if (!HasControl(user)) text += FormatDay(asks.Day) + ",asked," + std::to_string(asks.Count) + "," + user + "\n";
  for (const auto& [user, request] : Requests)
    if (!HasControl(user))
      text += FormatDay(request.Day) + ",open," + std::to_string(request.Minutes) + "," +
              FormatUtc(request.AskedUtc) + "," + user + "\n";
  for (const auto& [user, answer] : Answers)
    if (!HasControl(user))
      text += FormatDay(answer.Day) + (answer.Approved ? ",approved," : ",denied,") + std::to_string(answer.Until) +
              "," + user + "\n";
  Dirty = false;
  return text;
}

void TRequestBook::Parse(const std::string& text) {
  *this = TRequestBook();
  for (const std::string& line : TextLines(text)) {
    if (HasControl(line)) continue;
    const std::vector<std::string> head = Fields(line, 3);
    int64_t day = 0;
    if (head.empty() || !ParseDay(head[0], day)) continue;
    if (head[1] == "asked") {
      const std::vector<std::string> fields = Fields(head[2], 2);
      if (!fields.empty() && Digits(fields[0], 1, 2)) Asked[fields[1]] = TAsks{day, Number(fields[0])};
    } else if (head[1] == "open") {
      const std::vector<std::string> fields = Fields(head[2], 3);
      int64_t asked = 0;
      if (!fields.empty() && Digits(fields[0], 1, 3) && ParseUtc(fields[1], asked))
        Requests[fields[2]] = TTimeRequest{Number(fields[0]), asked, day};
    } else if (head[1] == "approved" || head[1] == "denied") {
      const std::vector<std::string> fields = Fields(head[2], 2);
      if (fields.empty() || fields[0].empty() || fields[0].size() > 12) continue;
      try {
        Answers[fields[1]] = TRequestAnswer{head[1] == "approved", std::stoll(fields[0]), day};
      } catch (const std::exception&) {
      }
    }
  }
}

int TPinGuard::Checked(bool right, int64_t nowUtc) {
  if (right) {
    Wrong = 0;
    return kPinTries;
  }
  if (++Wrong < kPinTries) return kPinTries - Wrong;
  Wrong = 0;
  ClosedUntil = nowUtc + kPinLockSeconds;
  return 0;
}
