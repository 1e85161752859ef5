#pragma once

#include <cstdint>
#include <map>
#include <string>

// The regular-file members of a tar archive (pg_dump -Ft writes POSIX ustar), found by
// walking the headers once; a member's data is then read in place.
class CTarIndex {
public:
    struct Member {
        uint64_t offset = 0;  // first byte of the member's data
        uint64_t size = 0;
    };

    // False with a message only when the file cannot be read at all. A damaged header or
    // a cut keeps the members before it and leaves its message in Damage().
    bool Read(const std::u16string& path, std::u16string& error);
    const Member* Find(const std::string& name) const;
    size_t Count() const { return m_members.size(); }
    // Why the walk stopped early; empty when it reached the end of the archive.
    const std::u16string& Damage() const { return m_damage; }

private:
    std::map<std::string, Member> m_members;
    std::u16string m_damage;
};
