#pragma once

#include <string>

// Locations the tests use: the committed fixtures and a scratch folder per test.
std::string FixturePath(const std::string& relative);
std::u16string FixturePathW(const std::string& relative);

// A fresh empty folder under the system temp folder, removed with its contents when
// the object goes away.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    std::u16string FileW(const std::string& name) const;
    // Writes bytes to a file in the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string m_path;
};

std::string ReadFileBytes(const std::string& path);
std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& text);
