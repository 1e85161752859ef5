#include "platform/LocalTime.h"

#include <cstdio>
#include <ctime>

namespace platform {

LocalTime GetLocalTime() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

std::u16string FormatDateTime(const LocalTime& t) {
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month,
                          t.day, t.hour, t.minute, t.second);
    std::u16string out;
    for (int i = 0; i < n && i < static_cast<int>(sizeof buffer); ++i) out += buffer[i];
    return out;
}

}  // namespace platform
