#include "platform/OutputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/Utf8.h"

namespace platform {

namespace {

// The files being written beside their targets, as plain bytes a signal handler can read
// without allocating. A slot is in use while its flag is set.
constexpr int kSlots = 16;
constexpr size_t kSlotPath = 4096;
char g_slotPaths[kSlots][kSlotPath];
std::atomic<bool> g_slotUsed[kSlots];
std::atomic<bool> g_slotTaken[kSlots];
std::atomic<int32_t> g_counter{0};

int TakeSlot(const std::string& path) {
    if (path.size() >= kSlotPath) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!g_slotTaken[i].compare_exchange_strong(expected, true)) continue;
        std::memcpy(g_slotPaths[i], path.c_str(), path.size() + 1);
        g_slotUsed[i].store(true);
        return i;
    }
    return -1;
}

void ReleaseSlot(int slot) {
    if (slot < 0) return;
    g_slotUsed[slot].store(false);
    g_slotTaken[slot].store(false);
}

// The path a symbolic link finally leads to, or the path itself when it is no link.
std::string FollowLinks(const std::string& native) {
    struct stat st;
    if (::lstat(native.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return native;
    char resolved[PATH_MAX];
    if (::realpath(native.c_str(), resolved) == nullptr) return native;
    return resolved;
}

}  // namespace

bool COutputFile::Open(const std::u16string& path) {
    Abandon();
    if (path.empty()) return false;
    const std::string target = FollowLinks(PathToNative(path));
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    m_inPlace = exists && !S_ISREG(st.st_mode);
    if (!m_inPlace) {
        const size_t slash = target.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
        // Named like the program's temporary files ("kvx_" + process id + "_"), so the
        // start-up clean-up of the temporary folder knows it there; a name taken by anything
        // else is skipped.
        for (int attempt = 0; attempt < 100 && !m_file.IsOpen(); ++attempt) {
            const std::string name = folder + "kvx_" + std::to_string(::getpid()) + "_w" +
                                     std::to_string(++g_counter) + "." + base + ".part";
            m_slot = TakeSlot(name);
            if (m_file.OpenCreateNew(Utf8ToUtf16(name))) {
                m_working = Utf8ToUtf16(name);
                break;
            }
            ReleaseSlot(m_slot);
            m_slot = -1;
            if (errno != EEXIST) break;
        }
        if (m_file.IsOpen()) {
            // The replacement keeps the permissions of the file it replaces.
            if (exists) ::chmod(PathToNative(m_working).c_str(), st.st_mode & 07777);
        } else {
            m_inPlace = true;
        }
    }
    m_target = Utf8ToUtf16(target);
    if (m_inPlace) {
        if (!m_file.OpenWrite(path)) return false;
        m_working = path;
        // Only a regular file that was written in place goes when the export fails, so a
        // partial file never passes for one; a device or a FIFO stays.
        struct stat written;
        m_removable = ::stat(target.c_str(), &written) == 0 && S_ISREG(written.st_mode);
    } else {
        m_removable = true;
    }
    m_open = true;
    return true;
}

bool COutputFile::Commit() {
    if (!m_open) return false;
    // A delayed write error shows up only when the file is closed.
    if (!m_file.Close()) {
        Abandon();
        return false;
    }
    if (!m_inPlace &&
        ::rename(PathToNative(m_working).c_str(), PathToNative(m_target).c_str()) != 0) {
        Abandon();
        return false;
    }
    ReleaseSlot(m_slot);
    m_slot = -1;
    m_open = false;
    return true;
}

void COutputFile::Abandon() {
    if (!m_open) return;
    m_file.Close();
    if (m_removable) DeleteFile(m_working);
    ReleaseSlot(m_slot);
    m_slot = -1;
    m_open = false;
}

void DeletePendingOutputFiles() {
    DeletePendingOutputFilesFromSignal();
}

void DeletePendingOutputFilesFromSignal() {
    for (int i = 0; i < kSlots; ++i) {
        if (g_slotUsed[i].load()) ::unlink(g_slotPaths[i]);
    }
}

}  // namespace platform
