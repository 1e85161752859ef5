#include "support/FrameCompress.h"

#include <gtest/gtest.h>
#include <lz4frame.h>
#include <zlib.h>
#include <zstd.h>

#include <stdexcept>

std::string Lz4Compress(std::string_view data) {
    LZ4F_preferences_t preferences = {};
    preferences.frameInfo.contentChecksumFlag = LZ4F_contentChecksumEnabled;
    std::string out(LZ4F_compressFrameBound(data.size(), &preferences), '\0');
    const size_t n =
        LZ4F_compressFrame(out.data(), out.size(), data.data(), data.size(), &preferences);
    if (LZ4F_isError(n)) throw std::runtime_error("LZ4F_compressFrame failed");
    out.resize(n);
    return out;
}

std::string ZstdCompress(std::string_view data) {
    std::string out(ZSTD_compressBound(data.size()), '\0');
    const size_t n = ZSTD_compress(out.data(), out.size(), data.data(), data.size(), 3);
    if (ZSTD_isError(n)) throw std::runtime_error("ZSTD_compress failed");
    out.resize(n);
    return out;
}

std::string DeflateCompress(std::string_view data, int level, int windowBits, int strategy) {
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, level, Z_DEFLATED, windowBits, 8, strategy), Z_OK);
    std::string out(deflateBound(&zs, data.size()) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}
