#pragma once

// zlib behind one small module: raw DEFLATE (RFC 1951, no header), the
// format a browser inflates with DecompressionStream("deflate-raw").

#include <string>
#include <string_view>

namespace postloom::platform {

std::string RawDeflate(std::string_view bytes);

}  // namespace postloom::platform
