// What reaches the service from any user's program, and what the clock reads
// back, over arbitrary bytes: a request is read only in its exact form (and
// written back the same), the requests file is read without fault and
// written back to what it reads again, and the clock's reading of an answer
// keeps to what it can show.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/protocol.h"
#include "engine/requests.h"
#include "tray/tray_view.h"

namespace {
std::string Spelled(const TRequestMessage& message) {
  switch (message.Kind) {
    case TRequestKind::Ask:
      return std::string(kRequestAsk) + " " + std::to_string(message.Minutes);
    case TRequestKind::Pin:
      return std::string(kRequestPin) + " " + message.Pin;
    case TRequestKind::State:
      return kRequestState;
    case TRequestKind::Approve:
      return std::string(kRequestApprove) + " " + message.User +
             (message.Minutes > 0 ? " " + std::to_string(message.Minutes) : "");
    case TRequestKind::Deny:
      return std::string(kRequestDeny) + " " + message.User;
    case TRequestKind::Invalid:
      break;
  }
  return "";
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const TRequestMessage message = ParseRequestMessage(text);
  if (message.Kind != TRequestKind::Invalid && Spelled(message) != text) abort();
  if (message.Kind != TRequestKind::Invalid && text.size() > kMaxRequestBytes) abort();

  TRequestBook book;
  book.Parse(text);
  const std::string written = book.Format();
  TRequestBook again;
  again.Parse(written);
  if (again.Format() != written) abort();

  const TServiceState state = ParseServiceState(text);
  if (state.AskedMinutes < 0 || state.AskedMinutes > 24 * 60) abort();
  if (state.AnnouncedLeft && *state.AnnouncedLeft < 0) abort();
  if ((state.AskedMinutes > 0 || state.AnnouncedLeft) && !state.Answered) abort();
  return 0;
}
