#pragma once

#include <string>

namespace platform {

// True when the variable exists, even with an empty value; value receives its text.
bool GetEnvironmentVariable(const char* name, std::u16string* value = nullptr);

}  // namespace platform
