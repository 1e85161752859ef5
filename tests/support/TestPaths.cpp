#include "support/TestPaths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/Utf8.h"

std::string FixturePath(const std::string& relative) {
    return std::string(KALVEX_FIXTURES_DIR) + "/" + relative;
}

std::u16string FixturePathW(const std::string& relative) {
    return U16(FixturePath(relative));
}

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kalvex-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; make them removable first.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

std::u16string ScratchDir::FileW(const std::string& name) const {
    return U16(File(name));
}

std::string ScratchDir::Write(const std::string& name, const std::string& bytes) const {
    std::string path = File(name);
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::u16string U16(const std::string& utf8) {
    return platform::Utf8ToUtf16(utf8);
}
std::string U8(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}
