#pragma once
// Asking for more time: the requests a child sends through the service's pipe
// (common/protocol.h), the answers a parent gives, and the guard on the
// parent's PIN. The service keeps them, in memory and in its folder so that a
// restart keeps them; the tool reads that file to list them. Portable; not
// thread-safe (the service holds its lock).

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// One request message as the pipe received it.
enum class TRequestKind { Invalid, Ask, Pin, State, Approve, Deny };
struct TRequestMessage {
  TRequestKind Kind = TRequestKind::Invalid;
  int32_t Minutes = 0;  // ASK; APPROVE (0: what was asked)
  std::string Pin;      // PIN: its digits
  std::string User;     // APPROVE, DENY: the user as the tool names them
};
// Reads one message: words apart by single blanks, ASK with one of
// kAskMinutes, PIN with 4 to 12 digits, STATE alone, APPROVE with a user and
// minutes from 1 to 1440 or none, DENY with a user. Anything else (other
// words, a byte below a blank, more than kMaxRequestBytes) is Invalid.
TRequestMessage ParseRequestMessage(const std::string& message);

// An open request: the minutes asked for, when (UTC), and the rules' day it
// belongs to; it expires with that day.
struct TTimeRequest {
  int32_t Minutes = 0;
  int64_t AskedUtc = 0;
  int64_t Day = 0;
};

// A parent's last answer to a user's request today: approved until a moment
// of the rules' time, or denied.
struct TRequestAnswer {
  bool Approved = false;
  int64_t Until = 0;
  int64_t Day = 0;
};

class TRequestBook {
 public:
  // Records user's request for today, replacing an open one and any answer;
  // false (nothing recorded) once the user has asked kMostAsksPerDay times today.
  bool Ask(const std::string& user, int32_t minutes, int64_t nowUtc, int64_t today);
  // Closes user's open request (if any) with an answer.
  void Answer(const std::string& user, const TRequestAnswer& answer);
  // What is open, and the last answer, for user today (nullptr: none).
  const TTimeRequest* OpenOf(const std::string& user) const;
  const TRequestAnswer* AnswerOf(const std::string& user) const;
  // Every open request, by user.
  const std::map<std::string, TTimeRequest>& Open() const { return Requests; }
  // Forgets what belongs to days before today.
  void Expire(int64_t today);

  // Whether anything changed since the last Format.
  bool Changed() const { return Dirty; }
  // The file's text, and back; lines that cannot be read are skipped.
  std::string Format();
  void Parse(const std::string& text);

 private:
  struct TAsks {
    int64_t Day = 0;
    int Count = 0;
  };
  std::map<std::string, TTimeRequest> Requests;
  std::map<std::string, TRequestAnswer> Answers;
  std::map<std::string, TAsks> Asked;
  bool Dirty = false;
};

// The guard on the parent's PIN: kPinTries wrong PINs in a row close PIN entry
// for every user for kPinLockSeconds. Kept in memory only: a restart of the
// service costs the one who guesses more than the wait does.
class TPinGuard {
 public:
  // Whether PIN entry is closed at nowUtc.
  bool Closed(int64_t nowUtc) const { return nowUtc < ClosedUntil; }
  // After a check: a right PIN clears the count; a wrong one counts, and the
  // last of kPinTries closes entry. Answers the tries left (0: closed now).
  int Checked(bool right, int64_t nowUtc);

 private:
  int Wrong = 0;
  int64_t ClosedUntil = 0;
};
