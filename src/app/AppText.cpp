#include "app/AppText.h"

std::u16string FormatThousands(uint64_t n) {
    char16_t buffer[32];
    int pos = 32;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0) buffer[--pos] = u',';
        buffer[--pos] = static_cast<char16_t>(u'0' + n % 10);
        n /= 10;
        ++digits;
    } while (n != 0);
    return std::u16string(buffer + pos, buffer + 32);
}

std::u16string ToLowerAscii(const std::u16string& text) {
    std::u16string out = text;
    for (char16_t& c : out) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    }
    return out;
}
