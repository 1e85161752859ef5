#pragma once

#include <memory>
#include <string>

#include "dump/DumpFile.h"

class IJobContext;

// A dump that arrives through a pipe (standard input, a FIFO, a process substitution)
// cannot be read twice or sought in, which every reader needs: it is copied into a private
// temporary file first, with progress and cancel, and read from there. The reader keeps
// the given path as its own and removes the copy when it goes. Null with the message in
// error when the copy or the open fails; nothing is left behind then.
std::unique_ptr<IDumpFile> OpenPipedDump(const std::u16string& path, IJobContext* job,
                                         std::u16string& error);

// Copies what the pipe at path delivers until its end into a new temporary file. False
// with the message when the pipe cannot be read, the copy cannot be written or the job
// was cancelled; no copy is left then.
bool CopyPipeToTempFile(const std::u16string& path, IJobContext* job, std::u16string& copyPath,
                        std::u16string& error);
