#pragma once

#include <string>

#include "dump/StreamDecoder.h"

class BufferedFileReader;
class CGrowingFile;
class IDataSink;
class IJobContext;

// Decompresses a whole stream of the given format, from the reader's position to its end,
// into the sink: gzip members or LZ4/zstd frames. job may be null.
bool ReadCompressedStream(BufferedFileReader& reader, StreamFormat format, IDataSink& sink,
                          IJobContext* job, std::u16string& error);

// A table's data file (or tar member), told by its first bytes: plain COPY text, gzip,
// LZ4 or zstd. Read failures of plain text say so in the data file's words.
bool ReadDataStream(BufferedFileReader& reader, IDataSink& sink, IJobContext* job,
                    std::u16string& error);

// Writes the decompressed content of path to outPath; on failure no output is left.
// growing, when given, hears of every byte that reaches the file and of the end (Finish or
// Fail with the message), and stops the expansion when its reader gives up.
bool ExpandCompressedToFile(const std::u16string& path, StreamFormat format,
                            const std::u16string& outPath, IJobContext* job, std::u16string& error,
                            CGrowingFile* growing = nullptr);
