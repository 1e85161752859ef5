#pragma once

#include <string>

// The message for an exception nobody expected: "予期しないエラーが発生しました: " + the
// exception's description (each byte widened to one character), or, for something that is
// not a standard exception (description null), "予期しないエラーが発生しました。".
std::u16string UnexpectedErrorMessage(const char* description);
