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

namespace {

std::vector<FixtureDump> LoadManifest(const std::string& manifest, const std::string& folder) {
    std::ifstream in(FixturePath(manifest));
    if (!in) throw std::runtime_error("missing fixtures: " + manifest);
    std::vector<FixtureDump> dumps;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::vector<std::string> f = SplitTabs(line);
        if (f.size() < 7) throw std::runtime_error("short line in " + manifest + ": " + line);
        dumps.push_back({folder + f[0], f[1], f[2], f[3], f[4], f[5], f[6]});
    }
    return dumps;
}

}  // namespace

std::vector<FixtureDump> LoadFixtureDumps() {
    return LoadManifest("expected/dumps.tsv", "");
}

std::vector<FixtureDump> LoadPg18FixtureDumps() {
    return LoadManifest("expected/pg18/dumps.tsv", "pg18/");
}

namespace {

std::string Unhex(const std::string& hex) {
    std::string out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

std::vector<std::vector<std::string>> ReadTsv(const std::string& relative) {
    std::ifstream in(FixturePath(relative));
    if (!in) throw std::runtime_error("missing fixture file: " + relative);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) rows.push_back(SplitTabs(line));
    }
    return rows;
}

}  // namespace

std::string ExpectedTable::CopyText(const std::string& database, bool sjis) const {
    return ReadFileBytes(
        FixturePath("expected/" + database + (sjis ? "/sjis/" : "/") + file + ".copy"));
}

std::vector<std::vector<std::optional<std::string>>> ExpectedTable::Cells(
    const std::string& database) const {
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::ifstream in(FixturePath("expected/" + database + "/" + file + ".cells"));
    if (!in) throw std::runtime_error("missing cells for " + QualifiedName());
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::optional<std::string>> row;
        for (const std::string& cell : SplitTabs(line)) {
            if (cell == "-") {
                row.emplace_back(std::nullopt);
            } else {
                row.emplace_back(Unhex(cell));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ExpectedTable> LoadExpectedTables(const std::string& database) {
    std::vector<ExpectedTable> tables;
    for (const auto& f : ReadTsv("expected/" + database + "/tables.tsv")) {
        if (f.size() < 5) throw std::runtime_error("short line in tables.tsv");
        ExpectedTable t;
        t.schema = f[0];
        t.name = f[1];
        t.rows = std::stoull(f[2]);
        t.file = f[3];
        t.kind = f[4];
        tables.push_back(std::move(t));
    }
    for (const auto& f : ReadTsv("expected/" + database + "/columns.tsv")) {
        if (f.size() < 7) throw std::runtime_error("short line in columns.tsv");
        for (ExpectedTable& t : tables) {
            if (t.schema == f[0] && t.name == f[1]) {
                t.columns.push_back({f[3], f[4], f[5] == "t", f[6] == "s"});
            }
        }
    }
    return tables;
}
