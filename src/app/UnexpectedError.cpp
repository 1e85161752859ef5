#include "app/UnexpectedError.h"

std::u16string UnexpectedErrorMessage(const char* description) {
    if (description == nullptr) return u"予期しないエラーが発生しました。";
    std::u16string text = u"予期しないエラーが発生しました: ";
    for (const char* p = description; *p != 0; ++p) {
        text += static_cast<char16_t>(static_cast<unsigned char>(*p));
    }
    return text;
}
