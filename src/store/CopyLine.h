#pragma once

#include <cstddef>
#include <vector>

#include "store/CellValue.h"

// Splits one COPY text line (without its line feed) into fields and undoes the
// backslash escapes. Multi-byte code pages whose trail bytes may look like ASCII
// (932, 936, 949, 950, 54936) are stepped over a character at a time.
void SplitCopyLine(const char* data, size_t length, std::vector<CopyField>& fields, int codePage);
