#pragma once

#include <cstddef>
#include <string>

// The UTF-8 <-> UTF-16 codec used for the common case (dumps in UTF8, settings, logs).
// Invalid input becomes U+FFFD, one per maximal invalid subsequence, as the Windows
// conversion does; lone surrogates encode as U+FFFD.
namespace platform {

void AppendUtf8AsUtf16(const char* data, size_t length, std::u16string& out);
std::u16string Utf8ToUtf16(const char* data, size_t length);
inline std::u16string Utf8ToUtf16(const std::string& text) {
    return Utf8ToUtf16(text.data(), text.size());
}

// True when the bytes are well-formed UTF-8 (no surrogates, no overlong forms), i.e. when
// decoding and encoding them again gives the same bytes.
bool IsValidUtf8(const char* data, size_t length);

void AppendUtf16AsUtf8(const char16_t* data, size_t length, std::string& out);
std::string Utf16ToUtf8(const char16_t* data, size_t length);
inline std::string Utf16ToUtf8(const std::u16string& text) {
    return Utf16ToUtf8(text.data(), text.size());
}

}  // namespace platform
