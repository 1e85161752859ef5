#pragma once

#include <string>
#include <vector>

#include "filter/WhereTypes.h"

// Splits a WHERE text into tokens; the vector always ends with one End token.
// Throws WhereError on a character that starts no token.
std::vector<WhereToken> TokenizeWhere(const std::u16string& text);
