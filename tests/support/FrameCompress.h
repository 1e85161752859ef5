#pragma once

#include <string>
#include <string_view>

// One LZ4 frame (with content checksum, as the lz4 tool writes it) or one zstd frame.
std::string Lz4Compress(std::string_view data);
std::string ZstdCompress(std::string_view data);
