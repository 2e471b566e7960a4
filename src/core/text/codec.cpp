#include "core/text/codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

namespace postloom::text {

namespace {

bool IsAscii(std::string_view s)
{
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
constexpr std::size_t kFailed = static_cast<std::size_t>(-1);

// Converts the whole text or nothing.
std::optional<std::string> ConvertAll(iconv_t cd, std::string_view in)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(in.size() * 3 + 8, '\0');
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == kFailed) {
            if (errno != E2BIG)
                return std::nullopt;
            const std::size_t used = out.size() - outLeft;
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = out.size() - used;
        }
    }
    if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == kFailed)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::optional<std::string> Convert(const char* to, const char* from, std::string_view in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == kNoConverter)
        return std::nullopt;
    auto converted = ConvertAll(cd, in);
    iconv_close(cd);
    return converted;
}

struct IconvCloser {
    void operator()(std::remove_pointer_t<iconv_t>* cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// Converters opened by this thread, so that converting many short texts
// (every header of every mail) does not open a converter each time. An
// iconv_t must not be used by two threads at once, hence one cache per thread.
class ConverterCache {
public:
    // A converter in its initial shift state, or kNoConverter.
    iconv_t Get(std::string_view to, std::string_view from)
    {
        for (Entry& entry : entries_) {
            if (entry.to == to && entry.from == from) {
                iconv(entry.cd.get(), nullptr, nullptr, nullptr, nullptr);
                return entry.cd.get();
            }
        }
        iconv_t cd = iconv_open(std::string(to).c_str(), std::string(from).c_str());
        if (cd == kNoConverter)
            return kNoConverter;
        if (entries_.size() == kMaxEntries)
            entries_.erase(entries_.begin());
        entries_.push_back({std::string(to), std::string(from), IconvHandle(cd)});
        return cd;
    }

private:
    static constexpr std::size_t kMaxEntries = 8;
    struct Entry {
        std::string to;
        std::string from;
        IconvHandle cd;
    };
    std::vector<Entry> entries_;
};

ConverterCache& Converters()
{
    thread_local ConverterCache cache;
    return cache;
}

// The result of a conversion that goes on past characters it replaces:
// iconv writes into the free room, replacements are appended.
class OutputBuffer {
public:
    explicit OutputBuffer(std::size_t initialSize) : data_(initialSize, '\0') {}

    char* Next() { return data_.data() + used_; }
    std::size_t Room() const { return data_.size() - used_; }
    void MovedTo(const char* next) { used_ = static_cast<std::size_t>(next - data_.data()); }
    void Grow() { data_.resize(data_.size() * 2); }
    void Append(std::string_view bytes)
    {
        while (Room() < bytes.size())
            Grow();
        std::memcpy(Next(), bytes.data(), bytes.size());
        used_ += bytes.size();
    }
    std::string Take()
    {
        data_.resize(used_);
        return std::move(data_);
    }

private:
    std::string data_;
    std::size_t used_ = 0;
};

struct DecodedChar {
    char32_t codePoint;
    std::size_t length;
};

// One UTF-8 character at the start of s, by the strict rules: no overlong
// forms, no surrogates, nothing above U+10FFFF.
std::optional<DecodedChar> DecodeUtf8(std::string_view s)
{
    if (s.empty())
        return std::nullopt;
    const auto lead = static_cast<unsigned char>(s[0]);
    if (lead < 0x80)
        return DecodedChar{lead, 1};
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (s.size() < length)
        return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    return DecodedChar{cp, length};
}

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// s with every byte that is not part of a UTF-8 character replaced by
// U+FFFD. glibc's UTF-8 reader lets code points above U+10FFFF through, so
// UTF-8 input and any converter's output are checked here.
std::string ValidUtf8(std::string_view s)
{
    std::string valid;
    valid.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (const auto decoded = DecodeUtf8(s.substr(i))) {
            valid += s.substr(i, decoded->length);
            i += decoded->length;
        } else {
            valid += kReplacementCharacter;
            ++i;
        }
    }
    return valid;
}

// Characters that glibc's CP932 table leaves out although CP932 has their
// twin, which other Japanese tables (JIS X 0213, eucJP-ms) map them to.
std::optional<std::string_view> Cp932Twin(char32_t cp)
{
    switch (cp) {
    case 0x00A6:  // BROKEN BAR -> FULLWIDTH BROKEN BAR
        return std::string_view("\xFA\x55");
    case 0x00B7:  // MIDDLE DOT -> KATAKANA MIDDLE DOT
        return std::string_view("\x81\x45");
    default:
        return std::nullopt;
    }
}

std::string CharacterReference(char32_t cp)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string digits;
    do {
        digits.insert(digits.begin(), kHex[cp & 0xF]);
        cp >>= 4;
    } while (cp != 0);
    return "&#x" + digits + ";";
}

// A charset name as mails write it, turned into the name of the glibc
// converter that reads such mail best.
std::string IconvName(std::string_view charset)
{
    std::string lower(charset);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    struct Alias {
        std::string_view name;
        std::string_view iconvName;
    };
    // Japanese mail labelled Shift_JIS or EUC-JP was written by Windows
    // programs with the NEC and IBM characters (①, ㈱, Ⅱ) of CP932; ISO-8859-1
    // and GB2312 labels are read as their supersets, as mail programs and
    // browsers do, because senders type the extra characters all the same.
    static constexpr Alias kAliases[] = {
        {"shift_jis", "CP932"}, {"shift-jis", "CP932"}, {"sjis", "CP932"}, {"x-sjis", "CP932"},
        {"ms_kanji", "CP932"}, {"csshiftjis", "CP932"}, {"ms932", "CP932"}, {"windows-31j", "CP932"},
        {"cswindows31j", "CP932"}, {"x-ms-cp932", "CP932"}, {"cp932", "CP932"},
        {"iso-2022-jp", "ISO-2022-JP-2"}, {"csiso2022jp", "ISO-2022-JP-2"}, {"iso-2022-jp-1", "ISO-2022-JP-2"},
        {"euc-jp", "EUC-JP-MS"}, {"x-euc-jp", "EUC-JP-MS"}, {"eucjp", "EUC-JP-MS"},
        {"utf-8", "UTF-8"}, {"utf8", "UTF-8"},
        {"iso-8859-1", "WINDOWS-1252"}, {"iso8859-1", "WINDOWS-1252"}, {"iso_8859-1", "WINDOWS-1252"},
        {"latin1", "WINDOWS-1252"},
        {"gb2312", "GB18030"}, {"gbk", "GB18030"}, {"x-gbk", "GB18030"},
        {"ks_c_5601-1987", "CP949"}, {"euc-kr", "CP949"},
    };
    for (const Alias& alias : kAliases) {
        if (alias.name == lower)
            return std::string(alias.iconvName);
    }
    return std::string(charset);
}

bool IsAcceptableCharsetName(std::string_view charset)
{
    // Long enough for every registered name; anything else (a "//TRANSLIT"
    // suffix, blanks, quotes) is not a charset name a mail may hand to iconv.
    constexpr std::size_t kMaxLength = 40;
    if (charset.empty() || charset.size() > kMaxLength)
        return false;
    for (const char c : charset) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                        c == '.' || c == '_' || c == ':' || c == '+' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

// The bytes a two-byte JIS X 0208 code has in Shift-JIS.
std::string JisToSjis(unsigned char j1, unsigned char j2)
{
    const int s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
    const int s2 = j2 + ((j1 & 1) != 0 ? (j2 < 0x60 ? 0x1F : 0x20) : 0x7E);
    return {static_cast<char>(s1), static_cast<char>(s2)};
}

// Windows mail programs write the NEC and IBM characters of CP932 (①, ㈱)
// inside ESC $ B as if JIS X 0208 had them, and glibc's ISO-2022-JP readers
// stop there. Tells, for a place where the reader stopped, whether it stands
// in such a two-byte run, and then appends the character CP932 has there.
class Iso2022JpExtensions {
public:
    explicit Iso2022JpExtensions(std::string_view bytes) : bytes_(bytes) {}

    // The number of bytes taken at pos (2), or 0 when pos is not in a
    // two-byte run.
    std::size_t Decode(std::size_t pos, OutputBuffer& out)
    {
        // Errors come in order, so the search for the last escape sequence
        // goes over each byte once.
        const std::size_t escape = bytes_.substr(scanned_, pos - scanned_).rfind('\x1B');
        if (escape != std::string_view::npos)
            lastEscape_ = scanned_ + escape;
        scanned_ = pos;
        if (!lastEscape_ || pos + 1 >= bytes_.size())
            return 0;
        const std::string_view sequence = bytes_.substr(*lastEscape_ + 1, 2);
        if (sequence.empty() || sequence[0] != '$')
            return 0;
        const auto j1 = static_cast<unsigned char>(bytes_[pos]);
        const auto j2 = static_cast<unsigned char>(bytes_[pos + 1]);
        if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E)
            return 0;
        std::optional<std::string> converted;
        if (sequence == "$B" || sequence == "$@")
            converted = FromCp932(JisToSjis(j1, j2));
        out.Append(converted ? std::string_view(*converted) : kReplacementCharacter);
        return 2;
    }

private:
    std::optional<std::string> FromCp932(std::string_view sjis)
    {
        if (!cp932_) {
            iconv_t cd = iconv_open("UTF-8", "CP932");
            if (cd == kNoConverter)
                return std::nullopt;
            cp932_.reset(cd);
        }
        return ConvertAll(cp932_.get(), sjis);
    }

    std::string_view bytes_;
    std::size_t scanned_ = 0;
    std::optional<std::size_t> lastEscape_;
    IconvHandle cp932_;
};

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932)
{
    if (IsAscii(cp932))
        return std::string(cp932);
    if (auto converted = Convert("UTF-8", "CP932", cp932))
        return *std::move(converted);
    return std::string(cp932);
}

std::string Utf8ToCp932(std::string_view utf8)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    if (auto converted = Convert("CP932", "UTF-8", utf8))
        return *std::move(converted);
    return std::string(utf8);
}

std::string Utf8ToCp932(std::string_view utf8, Unmappable unmappable)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    iconv_t cd = Converters().Get("CP932", "UTF-8");
    if (cd == kNoConverter)
        return std::string(utf8);

    // CP932 never takes more bytes than UTF-8 for a character it holds, so
    // the buffer grows only for replacements.
    OutputBuffer out(utf8.size() + 16);
    char* inPtr = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    while (inLeft > 0) {
        char* outPtr = out.Next();
        std::size_t outLeft = out.Room();
        const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.MovedTo(outPtr);
        if (result != kFailed)
            break;
        if (errno == E2BIG) {
            out.Grow();
            continue;
        }
        // EILSEQ or EINVAL: the character at inPtr has no CP932 form or is
        // not UTF-8 at all.
        const DecodedChar decoded = DecodeUtf8(std::string_view(inPtr, inLeft)).value_or(DecodedChar{0xFFFD, 1});
        if (auto twin = Cp932Twin(decoded.codePoint))
            out.Append(*twin);
        else if (unmappable == Unmappable::Geta)
            out.Append("\x81\xAC");
        else
            out.Append(CharacterReference(decoded.codePoint));
        inPtr += decoded.length;
        inLeft -= decoded.length;
    }
    return out.Take();
}

bool ConvertToUtf8(std::string_view bytes, std::string_view charset, std::string& out)
{
    if (!IsAcceptableCharsetName(charset))
        return false;
    const std::string name = IconvName(charset);
    if (name == "UTF-8") {
        out = IsValidUtf8(bytes) ? std::string(bytes) : ValidUtf8(bytes);
        return true;
    }
    iconv_t cd = Converters().Get("UTF-8", name);
    if (cd == kNoConverter)
        return false;
    std::optional<Iso2022JpExtensions> extensions;
    if (name.starts_with("ISO-2022-JP"))
        extensions.emplace(bytes);

    OutputBuffer buffer(bytes.size() * 3 + 16);
    char* inPtr = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer.Next();
        std::size_t outLeft = buffer.Room();
        const std::size_t converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        buffer.MovedTo(outPtr);
        if (converted != kFailed)
            break;
        if (errno == E2BIG) {
            buffer.Grow();
            continue;
        }
        std::size_t skipped = extensions ? extensions->Decode(bytes.size() - inLeft, buffer) : 0;
        if (skipped == 0) {
            buffer.Append(kReplacementCharacter);
            skipped = 1;
        }
        inPtr += skipped;
        inLeft -= skipped;
    }
    std::string result = buffer.Take();
    out = IsValidUtf8(result) ? std::move(result) : ValidUtf8(result);
    return true;
}

bool IsValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Eight ASCII bytes at a time: the common case of mail text.
        if (bytes.size() - i >= 8) {
            std::uint64_t block;
            std::memcpy(&block, bytes.data() + i, sizeof block);
            if ((block & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const auto decoded = DecodeUtf8(bytes.substr(i));
        if (!decoded)
            return false;
        i += decoded->length;
    }
    return true;
}

}  // namespace postloom::text
