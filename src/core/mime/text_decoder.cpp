#include "core/mime/text_decoder.h"

#include "core/text/codec.h"

#include <array>
#include <cstddef>

namespace postloom::mime {

namespace {

// The text is handed on in pieces of about this size.
constexpr std::size_t kBlock = 256 * 1024;

bool Has8Bit(std::string_view s)
{
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

bool IsDesignation(char c)
{
    return c == '$' || c == '(';
}

// ESC "$" or ESC "(": the designations that ISO-2022-JP text is made of.
bool HasIso2022Escape(std::string_view s)
{
    for (std::size_t esc = s.find('\x1b'); esc != std::string_view::npos; esc = s.find('\x1b', esc + 1)) {
        if (esc + 1 < s.size() && IsDesignation(s[esc + 1]))
            return true;
    }
    return false;
}

void DropCarriageReturnsBeforeLineFeeds(std::string& s)
{
    std::size_t out = 0;
    for (std::size_t in = 0; in < s.size(); ++in) {
        if (s[in] == '\r' && in + 1 < s.size() && s[in + 1] == '\n')
            continue;
        s[out++] = s[in];
    }
    s.resize(out);
}

// A charset label lower-cased without "-" and "_", so that the spellings
// mail programs use ("Shift_JIS", "shift-jis", "ISO-2022-JP") compare alike.
std::string LabelKey(std::string_view label)
{
    std::string key;
    key.reserve(label.size());
    for (const char c : label) {
        if (c != '-' && c != '_')
            key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return key;
}

bool IsShiftJisLabel(std::string_view key)
{
    static constexpr std::array<std::string_view, 10> kLabels{
        "shiftjis", "sjis", "xsjis", "cp932", "ms932", "windows31j", "cswindows31j", "csshiftjis", "mskanji", "xmscp932",
    };
    for (const std::string_view label : kLabels) {
        if (key == label)
            return true;
    }
    return false;
}

bool IsIso2022JpLabel(std::string_view key)
{
    return key.starts_with("iso2022jp") || key.starts_with("csiso2022jp");
}

// Charsets that are read a character at a time, whose bytes after an LF
// read the same whether or not what came before is known: the text may be
// converted in pieces cut after a line end. Any other is converted whole.
bool ConvertsLineByLine(std::string_view key)
{
    static constexpr std::array<std::string_view, 20> kPrefixes{
        "utf8",  "usascii", "ascii", "iso8859", "windows", "cp125", "koi8", "euc",    "xeuc",   "gb2312",
        "gbk",   "gb18030", "big5",  "tis620",  "latin",   "cp874", "cp936", "cp949", "cp950",  "ksc5601",
    };
    for (const std::string_view prefix : kPrefixes) {
        if (key.starts_with(prefix))
            return true;
    }
    return false;
}

bool IsKnownCharset(std::string_view charset)
{
    std::string unused;
    return text::ConvertToUtf8({}, charset, unused);
}

}  // namespace

bool IsShiftJisCharset(std::string_view label)
{
    return IsShiftJisLabel(LabelKey(label));
}

std::size_t IncompleteUtf8Tail(std::string_view text)
{
    for (std::size_t k = 1; k <= 3 && k <= text.size(); ++k) {
        const auto byte = static_cast<unsigned char>(text[text.size() - k]);
        if (byte >= 0x80 && byte <= 0xBF)
            continue;
        if (byte < 0xC2 || byte > 0xF4)
            return 0;
        const std::size_t length = byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        return k < length ? k : 0;
    }
    return 0;
}

void TextTraitsScan::Feed(std::string_view piece)
{
    if (piece.empty())
        return;
    traits_.eightBit = traits_.eightBit || Has8Bit(piece);
    traits_.iso2022Escape =
        traits_.iso2022Escape || (escapeAtEnd_ && IsDesignation(piece.front())) || HasIso2022Escape(piece);
    escapeAtEnd_ = piece.back() == '\x1b';
    if (!traits_.validUtf8)
        return;
    std::string_view whole = piece;
    std::string joined;
    if (!utf8Tail_.empty()) {
        joined = utf8Tail_;
        joined.append(piece);
        whole = joined;
    }
    const std::size_t tail = IncompleteUtf8Tail(whole);
    traits_.validUtf8 = text::IsValidUtf8(whole.substr(0, whole.size() - tail));
    utf8Tail_.assign(whole.substr(whole.size() - tail));
}

TextTraits TextTraitsScan::Finish()
{
    if (!utf8Tail_.empty())
        traits_.validUtf8 = false;
    utf8Tail_.clear();
    return traits_;
}

TextDecoder::TextDecoder(std::string_view charset, const TextTraits& traits)
{
    const std::string key = LabelKey(charset);
    // As it stands: UTF-8 when it is valid UTF-8, else the Shift-JIS of the
    // old clients, kept as it is.
    const auto undeclared = [&] { utf8_ = traits.validUtf8; };
    const auto converted = [&](std::string_view from) {
        if (!IsKnownCharset(from)) {
            undeclared();
            return;
        }
        reading_ = Reading::Converted;
        convertFrom_ = std::string(from);
        const std::string fromKey = LabelKey(from);
        split_ = fromKey == "iso2022jp"       ? Split::AtAsciiLineEnds
                 : ConvertsLineByLine(fromKey) ? Split::AtLineEnds
                                               : Split::Never;
    };
    if (IsShiftJisLabel(key)) {
        utf8_ = false;
    } else if (IsIso2022JpLabel(key)) {
        // The old clients saved the body already converted to Shift-JIS and
        // kept the header that says ISO-2022-JP: 8-bit bytes without any
        // ISO-2022 designation can only be that Shift-JIS.
        // Every spelling but JIS X 0213's is read by the one reader that
        // also knows what Windows programs add to ISO-2022-JP.
        if (traits.eightBit && !traits.iso2022Escape)
            utf8_ = false;
        else
            converted(key == "iso2022jp3" ? charset : "ISO-2022-JP");
    } else if (key.empty() || key == "usascii" || key == "ascii") {
        // Undeclared 7-bit text with designations is the usual Japanese mail
        // of a client that forgot the label; 8-bit bytes under "US-ASCII"
        // are as good as undeclared.
        if (traits.eightBit)
            undeclared();
        else if (traits.iso2022Escape)
            converted("ISO-2022-JP");
    } else if (key != "utf8" || !traits.validUtf8) {
        converted(charset);
    }
}

void TextDecoder::Feed(std::string_view bytes, const TextSink& out)
{
    pending_.append(bytes);
    if (pending_.size() < kBlock)
        return;
    switch (split_) {
    case Split::Anywhere: {
        // Never between CR and LF, nor inside a character of UTF-8.
        std::size_t end = pending_.size() - (utf8_ ? IncompleteUtf8Tail(pending_) : 0);
        if (end > 0 && pending_[end - 1] == '\r')
            --end;
        if (end > 0)
            Emit(end, out);
        break;
    }
    case Split::AtLineEnds:
    case Split::AtAsciiLineEnds:
        FindSafeEnd();
        if (safeEnd_ > 0)
            Emit(safeEnd_, out);
        break;
    case Split::Never:
        break;
    }
}

void TextDecoder::Finish(const TextSink& out)
{
    if (!pending_.empty())
        Emit(pending_.size(), out);
}

// Moves safeEnd_ to the last line end seen so far after which the reader
// of the charset is in its first state.
void TextDecoder::FindSafeEnd()
{
    for (; scanned_ < pending_.size(); ++scanned_) {
        const char c = pending_[scanned_];
        if (c == '\n' && (split_ == Split::AtLineEnds || asciiState_)) {
            safeEnd_ = scanned_ + 1;
        } else if (c == '\x1b' && split_ == Split::AtAsciiLineEnds) {
            if (scanned_ + 2 >= pending_.size())
                return;  // the sequence is told by bytes still to come
            asciiState_ = pending_[scanned_ + 1] == '(' && pending_[scanned_ + 2] == 'B';
        }
    }
}

void TextDecoder::Emit(std::size_t size, const TextSink& out)
{
    const std::string_view block(pending_.data(), size);
    std::string text;
    if (reading_ == Reading::Converted)
        static_cast<void>(text::ConvertToUtf8(block, convertFrom_, text));
    else
        text.assign(block);
    DropCarriageReturnsBeforeLineFeeds(text);
    if (!text.empty())
        out(text);
    pending_.erase(0, size);
    scanned_ = scanned_ > size ? scanned_ - size : 0;
    safeEnd_ = 0;
}

}  // namespace postloom::mime
