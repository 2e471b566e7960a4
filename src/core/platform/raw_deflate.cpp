#include "core/platform/raw_deflate.h"

#include <zlib.h>

#include <memory>
#include <stdexcept>

namespace postloom::platform {

namespace {

struct DeflateEnd {
    void operator()(z_stream* stream) const noexcept { deflateEnd(stream); }
};

}  // namespace

std::string RawDeflate(std::string_view bytes)
{
    z_stream stream{};
    // windowBits -15: raw DEFLATE with the full window.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::bad_alloc();
    }
    const std::unique_ptr<z_stream, DeflateEnd> owner(&stream);
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    // The bound holds the whole output, so one call finishes the stream.
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
        throw std::runtime_error("deflate did not finish within its bound");
    }
    out.resize(stream.total_out);
    return out;
}

}  // namespace postloom::platform
