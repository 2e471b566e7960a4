#pragma once

// The text of a mail as its page shows it, for the search: the decoded
// texts of a MIME mail (with MIME decoding on), or the lines after the
// header block of any other mail, as UTF-8 with LF line ends and the
// addresses hidden as the project says.

#include "core/html/address_hiding.h"

#include <optional>
#include <string>
#include <string_view>

namespace postloom {

// fileBytes: the whole mail file. pageName: the bare name of its page.
std::string SearchBodyText(std::string_view fileBytes, std::string_view pageName, bool decodeMime,
                           AddressHiding hiding);

// The lines after the header block (up to the first empty line), read in
// text mode (CR LF reads as LF, a lone CR stays, a 0x1A byte ends the
// text), still CP932.
std::string PlainBodyLines(std::string_view fileBytes);

}  // namespace postloom
