// Seeded mutations of real dumps of every kind: each damaged file is opened, scanned, one
// table loaded and every row decoded. Nothing may crash or hang (the sanitizers watch),
// and every refusal must carry a message.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "app/CreateDumpReader.h"
#include "dump/DumpFile.h"
#include "platform/File.h"
#include "platform/TempFiles.h"
#include "store/TableData.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"

namespace {

struct MutationCase {
    const char* fixture;  // under tests/fixtures/dumps/
    const char* member;   // for a directory dump: the file that is damaged, else null
    int cases;
};

std::ostream& operator<<(std::ostream& out, const MutationCase& c) {
    return out << c.fixture << (c.member != nullptr ? std::string("/") + c.member : "");
}

// The damage a disk, a transfer or a hostile hand does to a file.
void Mutate(std::string& bytes, std::mt19937& random) {
    const int steps = 1 + static_cast<int>(random() % 3);
    for (int step = 0; step < steps && !bytes.empty(); ++step) {
        const size_t at = random() % bytes.size();
        switch (random() % 8) {
            case 0:  // flipped bits
                for (int i = 0, n = 1 + static_cast<int>(random() % 8); i < n; ++i) {
                    bytes[random() % bytes.size()] ^= static_cast<char>(1u << (random() % 8));
                }
                break;
            case 1: {  // a byte set to a value that sits on a boundary
                static const unsigned char kValues[] = {0x00, 0xFF, 0x7F, 0x80, 0x01, '\n',
                                                        '\t', '\\', '\'', '"',  ';',  '('};
                bytes[at] = static_cast<char>(kValues[random() % std::size(kValues)]);
                break;
            }
            case 2:  // cut short
                bytes.resize(at);
                break;
            case 3: {  // random bytes inserted
                std::string noise(1 + random() % 16, '\0');
                for (char& c : noise) c = static_cast<char>(random());
                bytes.insert(at, noise);
                break;
            }
            case 4: {  // a stretch repeated
                const size_t length = std::min<size_t>(1 + random() % 256, bytes.size() - at);
                bytes.insert(at, bytes.substr(at, length));
                break;
            }
            case 5: {  // a stretch removed
                bytes.erase(at, std::min<size_t>(1 + random() % 64, bytes.size() - at));
                break;
            }
            case 6: {  // a stretch zeroed or set to 0xFF (sizes and offsets become huge)
                const char fill = random() % 2 == 0 ? '\0' : '\xFF';
                const size_t length = std::min<size_t>(1 + random() % 8, bytes.size() - at);
                std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), length, fill);
                break;
            }
            default: {  // a digit changed: lengths and counts in text
                for (size_t i = at; i < bytes.size() && i < at + 512; ++i) {
                    if (bytes[i] >= '0' && bytes[i] <= '9') {
                        bytes[i] = static_cast<char>('0' + random() % 10);
                        break;
                    }
                }
                break;
            }
        }
    }
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Open, scan, load one table chosen by the seed and decode all of its rows. Returns the
// message of the step that refused, empty when everything went through.
bool OpenScanLoad(const std::u16string& path, uint32_t seed, std::u16string& error) {
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(path, error);
    if (!dump) return false;
    if (!dump->Scan(nullptr, error)) return false;
    std::vector<TableEntry>& tables = dump->GetTables();
    if (tables.empty()) return true;
    const TableEntry& table = tables[seed % tables.size()];
    CTableData data;
    if (!data.Load(*dump, table, nullptr, error)) return false;
    RowCells cells;
    for (size_t row = 0; row < data.GetRowCount(); ++row) {
        // Rows of a loaded table always read back: they are in our own spool file.
        EXPECT_TRUE(data.GetRow(row, cells)) << "row " << row;
    }
    return true;
}

class MutationTest : public ::testing::TestWithParam<MutationCase> {};

}  // namespace

TEST_P(MutationTest, DamagedDumpsFailCleanly) {
    const MutationCase& c = GetParam();
    ScratchDir dir;
    ScopedEnv tmp("TMPDIR");
    tmp.Set(dir.File("tmp"));
    const std::string original = FixturePath(std::string("dumps/") + c.fixture);
    std::string target = dir.File("dump");
    std::string opened = target;
    if (c.member != nullptr) {
        std::filesystem::copy(original, target);
        target += std::string("/") + c.member;
    } else {
        std::filesystem::copy_file(original, target);
    }
    const std::string pristine = ReadFileBytes(target);
    ASSERT_FALSE(pristine.empty());

    std::mt19937 random(static_cast<uint32_t>(std::hash<std::string>()(c.fixture)) ^
                        (c.member != nullptr ? 0x5bd1e995u : 0u));
    int refused = 0;
    for (int i = 0; i < c.cases; ++i) {
        std::string bytes = pristine;
        Mutate(bytes, random);
        WriteBytes(target, bytes);
        std::u16string error;
        const uint32_t seed = static_cast<uint32_t>(random());
        if (!OpenScanLoad(U16(opened), seed, error)) {
            ++refused;
            EXPECT_FALSE(error.empty()) << "case " << i << ": a failure without a message";
        }
        if (HasFailure()) {
            WriteBytes(dir.File("failing-input"), bytes);
            FAIL() << "case " << i << " (input kept as " << dir.File("failing-input") << ")";
        }
    }
    // Plain scripts read past most damage; the binary formats refuse much of it.
    RecordProperty("refused", refused);
    std::vector<std::u16string> left;
    platform::ListDirectory(GetTempDirectory(), left);
    EXPECT_TRUE(left.empty()) << "temporary files left behind";
}

// 10,400 cases in all.
INSTANTIATE_TEST_SUITE_P(EveryKind, MutationTest,
                         ::testing::Values(MutationCase{"kx_main.custom.dump", nullptr, 1300},
                                           MutationCase{"kx_main.custom-z0.dump", nullptr, 1300},
                                           MutationCase{"kx_main.dir", "toc.dat", 700},
                                           MutationCase{"kx_main.dir", "3468.dat.gz", 600},
                                           MutationCase{"kx_main.sql", nullptr, 1300},
                                           MutationCase{"kx_main.sql.gz", nullptr, 1300},
                                           MutationCase{"cluster.dumpall.sql", nullptr, 1300},
                                           MutationCase{"kx_eucjp.custom-sjis.dump", nullptr, 1300},
                                           MutationCase{"kx_eucjp.sjis.sql", nullptr, 1300}),
                         [](const ::testing::TestParamInfo<MutationCase>& info) {
                             std::string name = std::string(info.param.fixture) +
                                                (info.param.member != nullptr
                                                     ? std::string("_") + info.param.member
                                                     : "");
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });
