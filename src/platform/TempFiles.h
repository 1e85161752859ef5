#pragma once

#include <string>

// The program's temporary files: "kvx_" + process id + "_" + counter + extension in the
// user's private temporary folder (platform::GetKalvexTempFolder).

// The folder with a trailing separator; created when missing (failures are ignored: a
// folder that cannot be used makes the creation of each file fail).
std::u16string GetTempDirectory();
// "kvx_" + process id + "_"
std::u16string GetTempFilePrefix();
// A new unique path; the file itself is not created. A null extension means ".tmp".
// Names already taken (by a process that ran under the same id before) are skipped.
std::u16string MakeTempFilePath(const char16_t* extension = nullptr);
// Makes a new path and creates an empty file there that only this user can read; false
// when that fails. path receives the path either way.
bool CreateTempFile(const char16_t* extension, std::u16string& path);
// Removes every temporary file of this process; files of other processes stay.
void DeleteTempFiles();
// Removes the files that processes no longer running left in the folder; files of running
// processes stay. Called once at start.
void RemoveStaleTempFiles();
// DeleteTempFiles for a signal handler: only async-signal-safe calls. It knows the folder
// once a temporary path has been made. Both also remove the files exports are still
// writing beside their targets (platform::COutputFile).
void DeleteTempFilesFromSignal();
