#pragma once

#include <string>

namespace platform {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalTime GetLocalTime();

// "%04d/%02d/%02d %02d:%02d:%02d"
std::u16string FormatDateTime(const LocalTime& t);

}  // namespace platform
