#include "platform/File.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Utf8.h"

namespace platform {

std::string PathToNative(const std::u16string& path) {
    return Utf16ToUtf8(path);
}

PathKind GetPathKind(const std::u16string& path) {
    if (path.empty()) return PathKind::Missing;
    struct stat st;
    if (::stat(PathToNative(path).c_str(), &st) != 0) return PathKind::Missing;
    return S_ISDIR(st.st_mode) ? PathKind::Directory : PathKind::File;
}

bool IsPipe(const std::u16string& path) {
    struct stat st;
    return !path.empty() && ::stat(PathToNative(path).c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool IsInsideFolder(const std::u16string& path, const std::u16string& folder) {
    char* resolvedPath = ::realpath(PathToNative(path).c_str(), nullptr);
    // An empty folder is the current one, as for a relative path.
    char* resolvedFolder = ::realpath(folder.empty() ? "." : PathToNative(folder).c_str(), nullptr);
    bool inside = false;
    if (resolvedPath != nullptr && resolvedFolder != nullptr) {
        std::string base = resolvedFolder;
        if (base.empty() || base.back() != '/') base += '/';
        inside = std::strncmp(resolvedPath, base.c_str(), base.size()) == 0;
    }
    std::free(resolvedPath);
    std::free(resolvedFolder);
    return inside;
}

bool GetFileIdentity(const std::u16string& path, FileIdentity& identity) {
    struct stat st;
    if (path.empty() || ::stat(PathToNative(path).c_str(), &st) != 0) return false;
    identity.device = static_cast<uint64_t>(st.st_dev);
    identity.inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool DeleteFile(const std::u16string& path) {
    return ::unlink(PathToNative(path).c_str()) == 0;
}

bool CreateDirectory(const std::u16string& path) {
    if (::mkdir(PathToNative(path).c_str(), 0700) == 0) return true;
    return errno == EEXIST && GetPathKind(path) == PathKind::Directory;
}

bool CreateDirectories(const std::u16string& path) {
    if (path.empty()) return false;
    if (GetPathKind(path) == PathKind::Directory) return true;
    size_t end = path.size();
    while (end > 1 && path[end - 1] == u'/') --end;
    size_t slash = path.rfind(u'/', end - 1);
    if (slash != std::u16string::npos && slash > 0) {
        if (!CreateDirectories(path.substr(0, slash))) return false;
    }
    return CreateDirectory(path.substr(0, end));
}

bool ListDirectory(const std::u16string& path, std::vector<std::u16string>& names) {
    names.clear();
    DIR* dir = ::opendir(PathToNative(path).c_str());
    if (dir == nullptr) return false;
    while (struct dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        names.push_back(Utf8ToUtf16(name));
    }
    ::closedir(dir);
    return true;
}

namespace {

bool IsPrivateFolderStat(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

}  // namespace

bool IsPrivateFolder(const std::u16string& path) {
    std::string native = PathToNative(path);
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    struct stat st;
    return !native.empty() && ::lstat(native.c_str(), &st) == 0 && IsPrivateFolderStat(st);
}

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

namespace {

int OpenPath(const std::u16string& path, int flags, mode_t mode = 0644) {
    if (path.empty()) return -1;
    int fd;
    do {
        fd = ::open(PathToNative(path).c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

bool CFile::OpenRead(const std::u16string& path, AccessHint hint) {
    Close();
    // O_NONBLOCK so that a FIFO cannot hold the open until a writer comes; it is refused
    // below like a folder, a device or a socket, none of which reads as a file.
    m_fd = OpenPath(path, O_RDONLY | O_NONBLOCK);
    if (m_fd < 0) return false;
    struct stat st;
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        Close();
        return false;
    }
    if (hint == AccessHint::Sequential) {
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    } else if (hint == AccessHint::Random) {
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_RANDOM);
    }
    return true;
}

bool CFile::OpenWrite(const std::u16string& path) {
    Close();
    m_fd = OpenPath(path, O_WRONLY | O_CREAT | O_TRUNC);
    return m_fd >= 0;
}

bool CFile::OpenWritePrivate(const std::u16string& path) {
    Close();
    const std::string native = PathToNative(path);
    const size_t slash = native.rfind('/');
    // Without a trailing "/", which would make O_NOFOLLOW follow a link after all.
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : native.substr(0, slash);
    const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    if (name.empty()) return false;
    // The folder is checked through the descriptor the file is then created in, so it
    // cannot be swapped between the check and the creation.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return false;
    struct stat st;
    if (::fstat(dir, &st) == 0 && IsPrivateFolderStat(st)) {
        do {
            m_fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            0600);
        } while (m_fd < 0 && errno == EINTR);
    }
    ::close(dir);
    return m_fd >= 0;
}

bool CFile::OpenCreateNew(const std::u16string& path) {
    Close();
    m_fd = OpenPath(path, O_RDWR | O_CREAT | O_EXCL);
    return m_fd >= 0;
}

bool CFile::OpenAppend(const std::u16string& path) {
    Close();
    m_fd = OpenPath(path, O_WRONLY | O_CREAT | O_APPEND);
    return m_fd >= 0;
}

bool CFile::Close() {
    if (m_fd < 0) return true;
    int result = ::close(m_fd);
    m_fd = -1;
    return result == 0;
}

bool CFile::GetSize(uint64_t& size) const {
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool CFile::Seek(uint64_t offset) {
    if (m_fd < 0 || offset > static_cast<uint64_t>(INT64_MAX)) return false;
    return ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

int64_t CFile::Read(void* buffer, size_t length) {
    if (m_fd < 0) return -1;
    ssize_t n;
    do {
        n = ::read(m_fd, buffer, length);
    } while (n < 0 && errno == EINTR);
    return n;
}

int64_t CFile::ReadAt(uint64_t offset, void* buffer, size_t length) {
    if (m_fd < 0 || offset > static_cast<uint64_t>(INT64_MAX)) return -1;
    auto* p = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(m_fd, p + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t CFile::ReadFull(void* buffer, size_t length) {
    auto* p = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < length) {
        int64_t n = Read(p + done, length - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool CFile::WriteAll(const void* data, size_t length) {
    if (m_fd < 0) return false;
    const auto* p = static_cast<const char*>(data);
    while (length > 0) {
        ssize_t n = ::write(m_fd, p, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace platform
