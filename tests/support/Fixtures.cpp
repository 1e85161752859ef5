#include "support/Fixtures.h"

#include <fstream>
#include <stdexcept>

#include "support/TestPaths.h"

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

std::vector<FixtureDump> LoadFixtureDumps() {
    std::ifstream in(FixturePath("expected/dumps.tsv"));
    if (!in) throw std::runtime_error("missing fixtures: expected/dumps.tsv");
    std::vector<FixtureDump> dumps;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::vector<std::string> f = SplitTabs(line);
        if (f.size() < 7) throw std::runtime_error("short line in dumps.tsv: " + line);
        dumps.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6]});
    }
    return dumps;
}
