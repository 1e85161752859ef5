#include "platform/Environment.h"

#include <cstdlib>
#include <cstring>

#include "platform/Utf8.h"

namespace platform {

bool GetEnvironmentVariable(const char* name, std::u16string* value) {
    const char* text = std::getenv(name);
    if (text == nullptr) return false;
    if (value != nullptr) *value = Utf8ToUtf16(text, std::strlen(text));
    return true;
}

}  // namespace platform
