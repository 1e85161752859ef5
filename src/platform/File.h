#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Files by wide (UTF-16) path; paths are handed to the system as UTF-8.
namespace platform {

std::string PathToNative(const std::u16string& path);

enum class PathKind { Missing, File, Directory };

// What lies at the path; Missing also when it cannot be examined.
PathKind GetPathKind(const std::u16string& path);
// A FIFO or a pipe (/dev/stdin, /dev/fd/N), links followed.
bool IsPipe(const std::u16string& path);
// True when path, all symbolic links resolved, lies inside folder (resolved too); false
// also when either cannot be resolved.
bool IsInsideFolder(const std::u16string& path, const std::u16string& folder);
bool DeleteFile(const std::u16string& path);
// Creates one folder; true also when it exists already.
bool CreateDirectory(const std::u16string& path);
// Creates the folder and its missing parents.
bool CreateDirectories(const std::u16string& path);
// Names of the entries of a folder, without "." and "..".
bool ListDirectory(const std::u16string& path, std::vector<std::u16string>& names);
// Which file a path leads to, through symbolic links: two paths are the same file (a hard
// link, a link, another spelling) when device and inode agree.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
// False when nothing can be examined at the path (it is missing or a link dangles).
bool GetFileIdentity(const std::u16string& path, FileIdentity& identity);
// True when the path is a real folder (not a link) owned by this user that nobody else may
// read, write or enter.
bool IsPrivateFolder(const std::u16string& path);

// A file descriptor that lives for one operation.
class CFile {
public:
    enum class AccessHint { Normal, Sequential, Random };

    CFile() = default;
    ~CFile() { Close(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    CFile(CFile&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    CFile& operator=(CFile&& other) noexcept;

    // Regular files only: anything else is refused without blocking or reading.
    bool OpenRead(const std::u16string& path, AccessHint hint = AccessHint::Normal);
    // Creates the file or truncates an existing one.
    bool OpenWrite(const std::u16string& path);
    // Creates a new file only this user may read (temporary copies of dump data). Refused
    // when anything, a link included, is at the path already, or when the folder is not
    // private (IsPrivateFolder): nobody else can then swap or read the file.
    bool OpenWritePrivate(const std::u16string& path);
    // Creates the file only when it does not exist yet.
    bool OpenCreateNew(const std::u16string& path);
    // Appends to the file, creating it when missing.
    bool OpenAppend(const std::u16string& path);
    // False when the system reports a failure on closing (a delayed write error).
    bool Close();
    bool IsOpen() const { return m_fd >= 0; }

    bool GetSize(uint64_t& size) const;
    bool Seek(uint64_t offset);
    // One read call (retried on EINTR): bytes read, 0 at the end, -1 on failure.
    int64_t Read(void* buffer, size_t length);
    // Reads at an offset without moving the file position, until length bytes or the end
    // of the file; -1 on failure.
    int64_t ReadAt(uint64_t offset, void* buffer, size_t length);
    // Reads until length bytes or the end of the file; -1 on failure.
    int64_t ReadFull(void* buffer, size_t length);
    bool WriteAll(const void* data, size_t length);

private:
    int m_fd = -1;
};

}  // namespace platform
