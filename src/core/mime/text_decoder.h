#pragma once

// The text of a text part, read from its transfer-decoded bytes in the
// charset it declares, as mail programs read it. The bytes come in pieces
// and the text goes out in pieces, so that a text of any size passes through
// a buffer of about a megabyte (a charset whose state cannot be followed
// from line to line is converted whole). The way the text is read depends
// on what its bytes hold as a whole, which a first pass over them learns.

#include <functional>
#include <string>
#include <string_view>

namespace postloom::mime {

// Where text goes, piece by piece.
using TextSink = std::function<void(std::string_view)>;

// What the bytes of a text hold, seen as a whole.
struct TextTraits {
    bool eightBit = false;
    bool iso2022Escape = false;  // ESC "$" or ESC "(" somewhere
    bool validUtf8 = true;
};

// Learns the traits of bytes given in pieces.
class TextTraitsScan {
public:
    void Feed(std::string_view piece);
    TextTraits Finish();

private:
    TextTraits traits_;
    bool escapeAtEnd_ = false;
    std::string utf8Tail_;  // the start of a UTF-8 character cut by the piece's end
};

// The number of bytes at the end of text that begin a UTF-8 character
// whose remaining bytes have not come yet; 0 when text ends between
// characters (or with bytes that no following byte can make valid).
std::size_t IncompleteUtf8Tail(std::string_view text);

// True for the labels of Shift-JIS and CP932 ("Shift_JIS", "x-sjis",
// "Windows-31J", ...), whose text is kept as it stands.
bool IsShiftJisCharset(std::string_view label);

class TextDecoder {
public:
    // charset as the part declares it (empty when it declares none).
    TextDecoder(std::string_view charset, const TextTraits& traits);

    // True: the text is UTF-8. False: it is CP932 bytes kept exactly as
    // the mail holds them.
    bool utf8() const { return utf8_; }

    // Takes the next transfer-decoded bytes; hands whole pieces of text
    // with LF line ends to out. Every piece ends between two characters.
    void Feed(std::string_view bytes, const TextSink& out);
    // Hands the rest of the text to out.
    void Finish(const TextSink& out);

private:
    enum class Reading { AsItStands, Converted };
    enum class Split { Anywhere, AtLineEnds, AtAsciiLineEnds, Never };

    void FindSafeEnd();
    void Emit(std::size_t size, const TextSink& out);

    Reading reading_ = Reading::AsItStands;
    Split split_ = Split::Anywhere;
    bool utf8_ = true;
    std::string convertFrom_;  // the charset of a Converted text
    std::string pending_;
    std::size_t scanned_ = 0;    // bytes of pending_ looked at for a safe end
    std::size_t safeEnd_ = 0;    // pending_ may be cut here
    bool asciiState_ = true;     // ISO-2022-JP at scanned_: in ASCII
};

}  // namespace postloom::mime
