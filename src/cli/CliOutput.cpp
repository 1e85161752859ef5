#include "cli/CliOutput.h"

#include <cstdio>

#include "platform/Utf8.h"

void PrintOutUtf8(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintErrUtf8(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void PrintOut(const std::u16string& text) {
    PrintOutUtf8(platform::Utf16ToUtf8(text));
}

void PrintErr(const std::u16string& text) {
    PrintErrUtf8(platform::Utf16ToUtf8(text));
}
