#pragma once

#include <string>

// The program's temporary files: "kvx_" + process id + "_" + counter + extension in the
// Kalvex folder of the user's temporary directory.

// The folder with a trailing separator; created when missing (failures are ignored).
std::u16string GetTempDirectory();
// "kvx_" + process id + "_"
std::u16string GetTempFilePrefix();
// A new unique path; the file itself is not created. A null extension means ".tmp".
std::u16string MakeTempFilePath(const char16_t* extension = nullptr);
// Removes every temporary file of this process; files of other processes stay.
void DeleteTempFiles();
