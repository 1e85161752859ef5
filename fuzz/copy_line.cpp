// Splitting and unescaping COPY lines in every code page with multi-byte rules, and the
// conversion of the fields to wide text.
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "sql/Encoding.h"
#include "store/CopyLine.h"

KALVEX_FUZZ_TARGET(copy_line) {
    if (size == 0) return;
    static const int kCodePages[] = {65001, 932, 936, 949, 950, 54936, 20932, 1252, 28591, 866};
    const int codePage = kCodePages[data[0] % 10];
    std::vector<CopyField> fields;
    SplitCopyLine(reinterpret_cast<const char*>(data) + 1, size - 1, fields, codePage);
    std::u16string text;
    for (const CopyField& field : fields) {
        text.clear();
        AppendWide(field.bytes.data(), field.bytes.size(), codePage, text);
    }
}
