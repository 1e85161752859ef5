#pragma once

#include <string>

// Output of the command-line front end: always UTF-8.
void PrintOut(const std::u16string& text);
void PrintErr(const std::u16string& text);
void PrintOutUtf8(const std::string& text);
void PrintErrUtf8(const std::string& text);

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
