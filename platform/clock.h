// Clock: the one source of time for everything that decides by it.
//
// TickCount is a 32-bit millisecond counter that wraps; compare two ticks
// only by their signed difference, (int32_t)(now - then). Now is seconds
// since the epoch; Local breaks a time into the local calendar.
#pragma once

#include <cstdint>
#include <ctime>

namespace quill {

struct LocalTime {
  int year = 1970;   // full year, e.g. 2026
  int month = 1;     // 1..12
  int day = 1;       // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 4;   // 0 Sunday .. 6 Saturday
};

// The calendar fields of a broken-down C time.
inline LocalTime LocalTimeFromTm(const struct tm& tm) {
  LocalTime lt;
  lt.year = tm.tm_year + 1900;
  lt.month = tm.tm_mon + 1;
  lt.day = tm.tm_mday;
  lt.hour = tm.tm_hour;
  lt.minute = tm.tm_min;
  lt.second = tm.tm_sec;
  lt.weekday = tm.tm_wday;
  return lt;
}

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t TickCount() = 0;
  virtual int64_t Now() = 0;
  virtual LocalTime Local(int64_t seconds) = 0;
  LocalTime LocalNow() { return Local(Now()); }

  // The clock of the running system.
  static Clock& System();
};

}  // namespace quill
