#include "support/CollectSink.h"

std::string CopyTextBeforeEndMarker(const std::string& stream) {
    size_t lineStart = 0;
    while (lineStart < stream.size()) {
        size_t lf = stream.find('\n', lineStart);
        if (lf == std::string::npos) break;
        if (lf - lineStart == 2 && stream.compare(lineStart, 2, "\\.") == 0) {
            return stream.substr(0, lineStart);
        }
        lineStart = lf + 1;
    }
    return stream;
}
