#pragma once

// Small helpers every benchmark program uses.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

inline double Seconds(Clock::time_point since) {
    return Seconds(since, Clock::now());
}

// Prints "program: message" on stderr and ends the program.
[[noreturn]] inline void Fail(const char* program, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fprintf(stderr, "%s: ", program);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::exit(1);
}

}  // namespace bench
