#pragma once
// The timestamp of a log line: the locale's short date, then, unless the time is
// exactly 00:00:00, one blank and the time built from the locale's long-time
// settings. Pure formatting, so every locale can be tried natively; the settings
// come from ReadLocaleFormats.

#include <array>
#include <cstdint>
#include <string>

#include "common/clock.h"
#include "diag/log_platform.h"

struct TLocaleFormats {
  // A Windows date picture: d dd ddd dddd, M MM MMM MMMM, y yy yyyy, g gg
  // (era, left out), 'quoted text' ('' inside quotes is one quote); every other
  // character stands for itself.
  std::string ShortDate = "dd.MM.yyyy";
  std::string TimeSeparator = ":";
  bool HourLeadingZero = true;
  bool TwelveHour = false;
  std::string AmDesignator = "AM";
  std::string PmDesignator = "PM";
  bool DesignatorFirst = false;
  // Names for ddd/dddd (Monday first, as the locale numbers them) and MMM/MMMM.
  std::array<std::string, 7> DayNames{"Monday", "Tuesday", "Wednesday", "Thursday",
                                      "Friday", "Saturday", "Sunday"};
  std::array<std::string, 7> ShortDayNames{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  std::array<std::string, 12> MonthNames{"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
};

// Reads the settings of locale (kLocaleUserDefault for the log) from the
// platform. A setting the locale does not answer keeps its default above.
TLocaleFormats ReadLocaleFormats(TLogPlatform& platform, uint32_t locale);

// The date alone, as the picture asks.
std::string FormatDate(const TDateTime& time, const TLocaleFormats& formats);
// The time alone: hour, separator, two-digit minutes, separator, two-digit
// seconds, with the designator after or before it in a 12-hour locale.
std::string FormatTime(const TDateTime& time, const TLocaleFormats& formats);
// Date, and unless the time is exactly 00:00:00 (milliseconds aside), a blank
// and the time.
std::string FormatTimestamp(const TDateTime& time, const TLocaleFormats& formats);
