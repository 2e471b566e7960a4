#pragma once

// The web addresses in a line of mail text, made links. Only http://,
// https:// and ftp:// start one (so "javascript:" and the like never
// become a link). An address ends at white space, at any character beyond
// ASCII (a full-width character touching it), at a character no address
// may hold ('<', '>', '"', '{', '}', '|', '\', '^', '`'), and at ')' when
// a '(' stood right before it; dots, commas and the like that end it are
// the sentence's, not the address's.

#include <string>
#include <string_view>
#include <vector>

namespace postloom::modern {

struct UrlSpan {
    std::size_t begin = 0;  // byte offsets in the text
    std::size_t end = 0;
    bool operator==(const UrlSpan&) const = default;
};

// The addresses in text (UTF-8), in order, not overlapping.
std::vector<UrlSpan> FindUrls(std::string_view text);

// A byte no address holds that starts a character (a blank, '<', the lead
// byte of a character beyond ASCII, ...): cutting a text before it changes
// none of its links.
bool IsLinkBoundary(char c);
// The offset of the first such byte in text, or npos.
std::size_t FirstLinkBoundary(std::string_view text);

// Appends text escaped, with every address as
// <a href="..." rel="nofollow noopener">...</a>.
void AppendLinkedText(std::string_view text, std::string& out);

}  // namespace postloom::modern
