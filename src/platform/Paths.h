#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The user's temporary folder with a trailing "/": $TMPDIR, else /tmp.
std::u16string GetSystemTempPath();
// The program's own folder for temporary files, with a trailing "/". Spool files can be as
// large as a table, so it is on disk and private to the user: "Kalvex/" in $TMPDIR when
// that is set, else in the per-user cache folder ($XDG_CACHE_HOME, else ~/.cache). Under a
// parent others may write to (TMPDIR=/tmp) the name carries the user id: "Kalvex-1000/".
std::u16string GetKalvexTempFolder();
// The per-user configuration folder with a trailing "/":
// $XDG_CONFIG_HOME/Kalvex/, else $HOME/.config/Kalvex/. Not created here.
std::u16string GetConfigFolder();
// Full path of the running executable; empty when it cannot be found.
std::u16string GetExecutablePath();
uint32_t GetCurrentProcessId();

}  // namespace platform

// The path up to and including its last "\" or "/"; empty when it has neither.
std::u16string DirectoryOf(const std::u16string& path);
// The part after the last "\" or "/"; the whole path when it has neither.
std::u16string FileNameOf(const std::u16string& path);
