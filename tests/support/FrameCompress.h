#pragma once

#include <string>
#include <string_view>

// One LZ4 frame (with content checksum, as the lz4 tool writes it) or one zstd frame.
std::string Lz4Compress(std::string_view data);
std::string ZstdCompress(std::string_view data);
// One deflate stream from zlib: windowBits 9..15 zlib-wrapped, -9..-15 raw, 25..31 a gzip
// member; strategy 0 is zlib's default.
std::string DeflateCompress(std::string_view data, int level, int windowBits, int strategy = 0);
