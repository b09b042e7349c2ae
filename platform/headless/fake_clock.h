// FakeClock: a clock that moves only when a test moves it. Local time is
// the UTC calendar of the fake seconds, so results do not depend on the
// machine's time zone.
#pragma once

#include <ctime>

#include "platform/clock.h"

namespace quill {

class FakeClock final : public Clock {
 public:
  uint32_t TickCount() override { return tick_; }
  int64_t Now() override { return now_; }
  LocalTime Local(int64_t seconds) override {
    time_t t = static_cast<time_t>(seconds);
    struct tm tm;
    gmtime_r(&t, &tm);
    return LocalTimeFromTm(tm);
  }

  void SetTick(uint32_t t) { tick_ = t; }
  void AdvanceMs(uint32_t ms) { tick_ += ms; now_ += (sub_ms_ + ms) / 1000; sub_ms_ = (sub_ms_ + ms) % 1000; }
  void SetNow(int64_t seconds) { now_ = seconds; }
  // Sets Now to the given UTC calendar time.
  void SetLocal(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    struct tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    now_ = static_cast<int64_t>(timegm(&tm));
  }

 private:
  uint32_t tick_ = 1000;
  uint32_t sub_ms_ = 0;
  int64_t now_ = 1765152000;  // 2025-12-08 00:00:00 UTC
};

}  // namespace quill
