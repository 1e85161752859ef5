#pragma once

#include <string>

// Output of the command-line front end: always UTF-8. Writes to standard output are
// checked: after the first failure nothing more is written and the failure is kept for
// FinishOutput, so a full disk or a closed pipe is never a success.
bool PrintOut(const std::u16string& text);
bool PrintOutUtf8(const std::string& text);
bool WriteOut(const char* data, size_t length);
// Copies a finished file of ours to standard output (through a temporary copy, so a
// writer's clean-up never touches anything but our own file).
bool CopyFileToOut(const std::u16string& path);
class CCliJobContext;
// Ends a command that wrote its output into the temporary file at path: copies it to
// standard output, removes it, and gives the exit code (writeFailure when the copy fails).
int SendTempFileToOut(const std::u16string& path, const std::u16string& writeFailure,
                      CCliJobContext& job);
void PrintErr(const std::u16string& text);
void PrintErrUtf8(const std::string& text);

// Makes sure standard input, output and error are open before any file is, so no file of
// ours can take their place; a closed one stays unusable. Also lets a closed pipe show up
// as a failed write instead of a signal that would leave temporary files behind.
void PrepareStandardStreams();
// True once a write to standard output has failed.
bool OutputFailed();
// Flushes and closes standard output; false when anything written did not arrive.
bool FinishOutput();
// The failure was a reader that went away (EPIPE).
bool OutputPipeClosed();

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Names may hold any character; TSV fields escape the ones that would break a line.
std::u16string TsvField(const std::u16string& text);
