#pragma once

#include <string>

class BufferedFileReader;
class IDataSink;
class IJobContext;

// Consumes one gzip member header at the reader's position.
bool ReadGzipHeader(BufferedFileReader& reader, std::u16string& error);

// Decompresses every gzip member from the reader's position to its end into the sink.
bool ReadGzipStream(BufferedFileReader& reader, IDataSink& sink, IJobContext* job,
                    std::u16string& error);

// Decompresses every member of a gzip file into the sink. job may be null.
bool ReadGzipFile(const std::u16string& path, IDataSink& sink, IJobContext* job,
                  std::u16string& error);

// Writes the decompressed content of gzipPath to outPath; on failure no output is left.
bool ExpandGzipToFile(const std::u16string& gzipPath, const std::u16string& outPath,
                      IJobContext* job, std::u16string& error);
