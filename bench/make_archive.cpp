// Writes a bench archive without a PostgreSQL server, through the test archive writer:
// one table whose rows have the shape scripts/bench.sh asks the server for.
//
//   kalvex_bench_archive OUTPUT TABLE ROWS gzip|none
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "support/ArchiveWriter.h"

namespace {

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

void AppendHex(std::string& out, uint64_t value) {
    static const char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) out.push_back(kDigits[(value >> (4 * i)) & 15]);
}

// id, a text of 20 to 60 characters, numeric(12,2), timestamp, a note that is null in a
// third of the rows.
void AppendRow(std::string& out, uint64_t i) {
    char field[64];
    std::snprintf(field, sizeof field, "%" PRIu64 "\t", i);
    out += field;

    std::string name;
    AppendHex(name, Mix(i));
    AppendHex(name, Mix(i * 31));
    name.push_back(' ');
    AppendHex(name, Mix(i * 17));
    AppendHex(name, Mix(i * 13));
    name.resize(20 + (i * 7) % 41);
    out += name;

    const uint64_t cents = (i * 7919) % 10000000;
    std::snprintf(field, sizeof field, "\t%" PRIu64 ".%02" PRIu64 "\t", cents / 100, cents % 100);
    out += field;

    const time_t when = static_cast<time_t>(1577836800 + (i * 37) % 100000000);
    tm parts{};
    gmtime_r(&when, &parts);
    std::strftime(field, sizeof field, "%Y-%m-%d %H:%M:%S\t", &parts);
    out += field;

    if (i % 3 == 0) {
        out += "\\N\n";
    } else {
        std::snprintf(field, sizeof field, "note %" PRIu64 "\n", i % 1000);
        out += field;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 || (std::strcmp(argv[4], "gzip") != 0 && std::strcmp(argv[4], "none") != 0)) {
        std::fprintf(stderr, "usage: kalvex_bench_archive OUTPUT TABLE ROWS gzip|none\n");
        return 2;
    }
    const std::string table = argv[2];
    const uint64_t rows = std::strtoull(argv[3], nullptr, 10);

    std::string copyText;
    copyText.reserve(rows * 96);
    for (uint64_t i = 1; i <= rows; ++i) AppendRow(copyText, i);

    testarchive::ArchivePlan plan;
    plan.database = "kx_bench";
    plan.compression = std::strcmp(argv[4], "gzip") == 0 ? testarchive::Compression::Gzip
                                                         : testarchive::Compression::None;
    plan.AddEncoding();
    plan.AddStdStrings();
    plan.AddSearchPath();
    const int64_t tableId =
        plan.AddTable("public", table,
                      {"id integer NOT NULL", "name text NOT NULL", "amount numeric(12,2)",
                       "created timestamp without time zone", "note text"})
            .dumpId;
    plan.AddTableData("public", table, {"id", "name", "amount", "created", "note"}, copyText,
                      tableId);
    copyText = std::string();

    const testarchive::BuiltArchive built = testarchive::BuildCustomArchive(plan);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(built.bytes.data(), static_cast<std::streamsize>(built.bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "kalvex_bench_archive: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
