// The usage file's reader on any bytes: it never fails, and what it kept is
// written back in a form it reads again whole, to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/calendar.h"
#include "engine/usage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int64_t today = DaysFromCivil(2026, 12, 8);
  TUsageBook book;
  book.Parse(std::string(reinterpret_cast<const char*>(data), size), today);
  const size_t rows = book.Rows().size();
  const std::string text = book.Format();
  TUsageBook again;
  const TUsageDamage damage = again.Parse(text, today);
  if (damage.Lines != 0 || damage.Future != 0) abort();
  if (again.Format() != text) abort();
  // Formatting drops what is over 90 days old, never more.
  if (again.Rows().size() > rows) abort();
  return 0;
}
