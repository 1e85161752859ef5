#pragma once

#include <string_view>

// LIKE matching: "%" any run, "_" any one character, backslash takes the next character
// literally (a trailing backslash stands for itself). Both texts end at their first NUL.
// caseInsensitive folds the ASCII letters only. Time is at most subject x pattern.
bool MatchLikePattern(std::u16string_view subject, std::u16string_view pattern,
                      bool caseInsensitive);
