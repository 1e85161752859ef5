#pragma once

#include <cstdint>
#include <string>

#include "platform/File.h"

namespace platform {

// A file an export writes, made so that a failure never costs the user a file: a regular
// file (or a new one) is written into a new file beside it and renamed over it only by
// Commit, so a failure or a cancel leaves what was there as it was. A symbolic link is
// followed, so the link stays and its target is replaced. A target that is not a regular
// file (a device, a FIFO) and a folder that lets no new file be made are written in place;
// a device or a FIFO is never removed.
class COutputFile {
public:
    COutputFile() = default;
    ~COutputFile() { Abandon(); }
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // False when the file cannot be written at all; nothing is changed then.
    bool Open(const std::u16string& path);
    CFile& File() { return m_file; }
    bool IsOpen() const { return m_open; }
    // Closes the file and puts it in place; false on a delayed write error or a failed
    // rename, after which only what Open made is removed.
    bool Commit();
    // Closes and removes what Open made: the file beside the target, or a regular file
    // written in place. Does nothing once committed.
    void Abandon();
    // The file being written: the one beside the target, or the target itself.
    const std::u16string& WorkingPath() const { return m_working; }

private:
    CFile m_file;
    std::u16string m_target;   // what the rename replaces (a link's target)
    std::u16string m_working;  // what is written
    bool m_open = false;
    bool m_inPlace = false;
    bool m_removable = false;
    int m_slot = -1;
};

// Removes the files beside their targets that open COutputFiles are writing: at exit,
// and from a signal handler (async-signal-safe).
void DeletePendingOutputFiles();
void DeletePendingOutputFilesFromSignal();

}  // namespace platform
