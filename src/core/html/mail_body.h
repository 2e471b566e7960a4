#pragma once

// The body of a mail page: the lines of the mail file after its header
// block (which ends at the first empty line), HTML-escaped, each followed by
// "<BR>\n". The file is taken in pieces of raw bytes as read, in text mode
// (CR LF reads as LF, a lone CR stays, a 0x1A byte ends the text), so that a
// mail of any size passes through a fixed amount of memory.

#include "core/html/address_hiding.h"

#include <optional>
#include <string>
#include <string_view>

namespace postloom {

class MailBodyEscaper {
public:
    // With hiding other than Shown, the addresses of the body lines are
    // hidden before the escaping.
    explicit MailBodyEscaper(AddressHiding hiding = AddressHiding::Shown);

    // Appends the page text of the next raw bytes of the file to out.
    void Feed(std::string_view raw, std::string& out);
    // Appends what the end of the file completes.
    void Finish(std::string& out);
    // A 0x1A byte was seen: nothing after it belongs to the text.
    bool Ended() const { return ended_; }

private:
    enum class Place { Start, Header, HeaderLineEnd, Body };

    void Take(char c, std::string& out);
    // Body text in text mode through the address hiding, then escaped with
    // every LF ending a line.
    void EmitHidden(std::string_view text, std::string& out);

    Place place_ = Place::Start;
    bool pendingCr_ = false;
    bool lineOpen_ = false;
    bool ended_ = false;
    std::optional<AddressHider> hider_;
    std::string hidden_;
};

}  // namespace postloom
