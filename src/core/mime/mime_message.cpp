#include "core/mime/mime_message.h"

#include "core/mime/gmime_setup.h"
#include "core/mime/html_text.h"
#include "core/text/codec.h"
#include "core/text/cp932.h"

#include <gmime/gmime.h>

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace postloom::mime {

namespace {

// Multiparts nested deeper than this are not walked into: such a multipart
// is kept whole as one attachment, so its text is saved rather than lost and
// no mail can make the walk run away.
constexpr int kMaxDepth = 32;

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using ObjectPtr = std::unique_ptr<T, ObjectUnref>;

struct Free {
    void operator()(gpointer memory) const { g_free(memory); }
};
using OwnedCString = std::unique_ptr<char, Free>;

std::string TakeString(char* owned)
{
    const OwnedCString holder(owned);
    return owned == nullptr ? std::string() : std::string(owned);
}

// The library is set up once per process; the options are never changed
// after that, so every thread may share them.
struct Library {
    GMimeParserOptions* parserOptions = nullptr;
    GMimeFormatOptions* formatOptions = nullptr;
};

const Library& TheLibrary()
{
    static const Library library = [] {
        InitGMime();
        Library made;
        made.parserOptions = g_mime_parser_options_new();
        // Mail of the old clients puts encoded words inside words and
        // quotes, and raw Shift-JIS into names: accept what they wrote.
        g_mime_parser_options_set_rfc2047_compliance_mode(made.parserOptions, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_parameter_compliance_mode(made.parserOptions, GMIME_RFC_COMPLIANCE_LOOSE);
        const char* fallbackCharsets[] = {"UTF-8", "CP932", nullptr};
        g_mime_parser_options_set_fallback_charsets(made.parserOptions, fallbackCharsets);
        made.formatOptions = g_mime_format_options_new();
        g_mime_format_options_set_newline_format(made.formatOptions, GMIME_NEWLINE_FORMAT_UNIX);
        return made;
    }();
    return library;
}

bool Has8Bit(std::string_view s)
{
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

// ESC "$" or ESC "(": the designations that ISO-2022-JP text is made of.
bool HasIso2022Escape(std::string_view s)
{
    for (std::size_t esc = s.find('\x1b'); esc != std::string_view::npos; esc = s.find('\x1b', esc + 1)) {
        if (esc + 1 < s.size() && (s[esc + 1] == '$' || s[esc + 1] == '('))
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

TextBlock Cp932Block(std::string bytes)
{
    return TextBlock{std::move(bytes), false};
}

TextBlock Utf8Block(std::string utf8)
{
    return TextBlock{std::move(utf8), true};
}

// Text whose charset is not known for sure: UTF-8 when it is valid UTF-8,
// else the Shift-JIS of the old clients, kept as it is.
TextBlock UndeclaredText(std::string bytes)
{
    if (text::IsValidUtf8(bytes))
        return Utf8Block(std::move(bytes));
    return Cp932Block(std::move(bytes));
}

TextBlock ConvertedText(std::string bytes, std::string_view charset)
{
    std::string utf8;
    if (text::ConvertToUtf8(bytes, charset, utf8))
        return Utf8Block(std::move(utf8));
    return UndeclaredText(std::move(bytes));
}

// The bytes of a text part after transfer decoding, read as the charset it
// declares (charset empty when it declares none).
TextBlock TextOf(std::string bytes, std::string_view charset)
{
    const std::string key = LabelKey(charset);
    const bool eightBit = Has8Bit(bytes);
    TextBlock block;
    if (IsShiftJisLabel(key)) {
        block = Cp932Block(std::move(bytes));
    } else if (IsIso2022JpLabel(key)) {
        // The old clients saved the body already converted to Shift-JIS and
        // kept the header that says ISO-2022-JP: 8-bit bytes without any
        // ISO-2022 designation can only be that Shift-JIS.
        // Every spelling but JIS X 0213's is read by the one reader that
        // also knows what Windows programs add to ISO-2022-JP.
        if (eightBit && !HasIso2022Escape(bytes))
            block = Cp932Block(std::move(bytes));
        else
            block = ConvertedText(std::move(bytes), key == "iso2022jp3" ? charset : "ISO-2022-JP");
    } else if (key.empty() || key == "usascii" || key == "ascii") {
        // Undeclared 7-bit text with designations is the usual Japanese mail
        // of a client that forgot the label; 8-bit bytes under "US-ASCII"
        // are as good as undeclared.
        if (eightBit)
            block = UndeclaredText(std::move(bytes));
        else if (HasIso2022Escape(bytes))
            block = ConvertedText(std::move(bytes), "ISO-2022-JP");
        else
            block = Utf8Block(std::move(bytes));
    } else if (key == "utf8" && text::IsValidUtf8(bytes)) {
        block = Utf8Block(std::move(bytes));
    } else {
        block = ConvertedText(std::move(bytes), charset);
    }
    DropCarriageReturnsBeforeLineFeeds(block.text);
    return block;
}

std::string_view OrEmpty(const char* s)
{
    return s == nullptr ? std::string_view() : std::string_view(s);
}

// "type/subtype" in lower case.
std::string MimeTypeOf(GMimeObject* object)
{
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (type == nullptr)
        return "application/octet-stream";
    return text::ToLowerAscii(TakeString(g_mime_content_type_get_mime_type(type)));
}

bool IsType(GMimeObject* object, const char* type, const char* subtype)
{
    GMimeContentType* contentType = g_mime_object_get_content_type(object);
    return contentType != nullptr && g_mime_content_type_is_type(contentType, type, subtype);
}

bool IsMarkedAttachment(GMimeObject* object)
{
    return text::EqualsIgnoreCase(OrEmpty(g_mime_object_get_disposition(object)), "attachment");
}

bool IsInlineTextPart(GMimeObject* object, const char* subtype)
{
    return GMIME_IS_PART(object) && IsType(object, "text", subtype) && !IsMarkedAttachment(object);
}

std::string StreamBytes(GMimeStream* stream)
{
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->len);
}

std::string TransferDecoded(GMimePart* part)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (content == nullptr)
        return {};
    const ObjectPtr<GMimeStream> sink(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, sink.get());
    return StreamBytes(sink.get());
}

// An entity with its own header, as a mail program reads it from a file.
std::string Serialized(GMimeObject* object)
{
    const ObjectPtr<GMimeStream> sink(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, TheLibrary().formatOptions, sink.get());
    return StreamBytes(sink.get());
}

TextBlock TextPartOf(GMimeObject* part)
{
    return TextOf(TransferDecoded(GMIME_PART(part)), OrEmpty(g_mime_object_get_content_type_parameter(part, "charset")));
}

// CP932 bytes in UTF-8, a byte that is not CP932 as U+FFFD, so that what
// is handed on as UTF-8 always is.
std::string Cp932AsUtf8(std::string_view bytes)
{
    std::string utf8;
    // glibc always has CP932, so the conversion is always made.
    static_cast<void>(text::ConvertToUtf8(bytes, "CP932", utf8));
    return utf8;
}

TextBlock HtmlTextOf(GMimeObject* part)
{
    const TextBlock html = TextPartOf(part);
    return Utf8Block(HtmlToText(html.utf8 ? html.text : Cp932AsUtf8(html.text)));
}

std::string AttachmentName(GMimeObject* object)
{
    std::string name(OrEmpty(g_mime_object_get_content_disposition_parameter(object, "filename")));
    if (name.empty())
        name = OrEmpty(g_mime_object_get_content_type_parameter(object, "name"));
    if (!text::IsValidUtf8(name))
        name = Cp932AsUtf8(name);
    return name;
}

Attachment AttachmentOf(GMimeObject* object)
{
    Attachment attachment{AttachmentName(object), MimeTypeOf(object), {}};
    if (GMIME_IS_PART(object)) {
        attachment.data = TransferDecoded(GMIME_PART(object));
    } else if (GMIME_IS_MESSAGE_PART(object)) {
        if (GMimeMessage* message = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)))
            attachment.data = Serialized(GMIME_OBJECT(message));
    } else {
        attachment.data = Serialized(object);
    }
    return attachment;
}

// Walks the MIME tree in reading order and notes what each part becomes.
// Whether a text/html part is shown or attached is known only at the end,
// when it is clear whether the mail has other text.
class PartCollector {
public:
    void Walk(GMimeObject* object, int depth)
    {
        if (GMIME_IS_MULTIPART(object)) {
            WalkMultipart(GMIME_MULTIPART(object), depth);
        } else if (IsInlineTextPart(object, "plain")) {
            items_.push_back({Kind::Plain, object});
        } else if (IsInlineTextPart(object, "html")) {
            items_.push_back({Kind::Html, object});
        } else {
            items_.push_back({Kind::Attachment, object});
        }
    }

    DecodedMail Finish() const
    {
        bool hasOtherText = false;
        for (const Item& item : items_)
            hasOtherText = hasOtherText || (item.kind != Kind::Html && item.kind != Kind::Attachment);
        DecodedMail mail;
        for (const Item& item : items_) {
            switch (item.kind) {
            case Kind::Plain:
                mail.texts.push_back(TextPartOf(item.object));
                break;
            case Kind::AlternativeHtml:
                mail.texts.push_back(HtmlTextOf(item.object));
                break;
            case Kind::Html:
                if (hasOtherText)
                    mail.attachments.push_back(AttachmentOf(item.object));
                else
                    mail.texts.push_back(HtmlTextOf(item.object));
                break;
            case Kind::Prologue:
                mail.texts.push_back(
                    TextOf(std::string(OrEmpty(g_mime_multipart_get_prologue(GMIME_MULTIPART(item.object)))), {}));
                break;
            case Kind::Attachment:
                mail.attachments.push_back(AttachmentOf(item.object));
                break;
            }
        }
        mail.decoded = !mail.texts.empty() || !mail.attachments.empty();
        return mail;
    }

private:
    enum class Kind { Plain, AlternativeHtml, Html, Prologue, Attachment };
    struct Item {
        Kind kind;
        GMimeObject* object;
    };

    void WalkMultipart(GMimeMultipart* multipart, int depth)
    {
        GMimeObject* object = GMIME_OBJECT(multipart);
        if (depth >= kMaxDepth) {
            items_.push_back({Kind::Attachment, object});
            return;
        }
        const int count = g_mime_multipart_get_count(multipart);
        if (count <= 0) {
            // No boundary was found: the whole body stands in the prologue.
            if (g_mime_multipart_get_prologue(multipart) != nullptr)
                items_.push_back({Kind::Prologue, object});
            return;
        }
        if (IsType(object, "multipart", "alternative")) {
            WalkAlternative(multipart, count, depth);
            return;
        }
        for (int i = 0; i < count; ++i)
            Walk(g_mime_multipart_get_part(multipart, i), depth + 1);
    }

    // The plain text alternative, else the HTML one, else the first as it
    // would stand alone; the others say the same and are left out.
    void WalkAlternative(GMimeMultipart* alternative, int count, int depth)
    {
        for (int i = 0; i < count; ++i) {
            GMimeObject* part = g_mime_multipart_get_part(alternative, i);
            if (IsInlineTextPart(part, "plain")) {
                items_.push_back({Kind::Plain, part});
                return;
            }
        }
        for (int i = 0; i < count; ++i) {
            GMimeObject* part = g_mime_multipart_get_part(alternative, i);
            if (IsInlineTextPart(part, "html")) {
                items_.push_back({Kind::AlternativeHtml, part});
                return;
            }
        }
        Walk(g_mime_multipart_get_part(alternative, 0), depth + 1);
    }

    std::vector<Item> items_;
};

// A header value without its line breaks, as one line.
std::string Unfolded(std::string_view folded)
{
    std::string line;
    line.reserve(folded.size());
    for (const char c : folded) {
        if (c != '\r' && c != '\n')
            line.push_back(c);
    }
    return line;
}

// Encoded words decoded, in UTF-8. Raw 8-bit text around them is read as
// UTF-8 or, failing that, CP932 (the parser options' fallback charsets).
std::string DecodedWordsUtf8(const std::string& line)
{
    const Library& library = TheLibrary();
    std::string utf8;
    // The library reads C strings: a NUL byte ends a piece, and is kept.
    for (std::size_t start = 0;;) {
        const std::size_t nul = line.find('\0', start);
        const std::string piece = line.substr(start, nul == std::string::npos ? std::string::npos : nul - start);
        utf8 += TakeString(g_mime_utils_header_decode_text(library.parserOptions, piece.c_str()));
        if (nul == std::string::npos)
            break;
        utf8.push_back('\0');
        start = nul + 1;
    }
    // A line break inside an encoded word would split the value.
    for (char& c : utf8) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return utf8;
}

constexpr std::array<std::string_view, 3> kMimeHeaders{"MIME-Version", "Content-Type", "Content-Transfer-Encoding"};

bool IsMimeHeaderLine(std::string_view line)
{
    for (const std::string_view name : kMimeHeaders) {
        if (!text::StartsWithIgnoreCase(line, name))
            continue;
        // Blanks before the colon are tolerated, as mail parsers do.
        const std::size_t colon = line.find_first_not_of(" \t", name.size());
        if (colon != std::string_view::npos && line[colon] == ':')
            return true;
    }
    return false;
}

// The value of header name in a header section (continuation lines joined,
// line ends dropped); nullopt when the section does not have it.
std::optional<std::string> HeaderValue(std::string_view headerSection, std::string_view name)
{
    std::optional<std::string> value;
    bool inside = false;
    for (std::size_t start = 0; start < headerSection.size();) {
        const std::size_t lf = headerSection.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? headerSection.size() : lf;
        std::string_view line = headerSection.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        if (line.front() == ' ' || line.front() == '\t') {
            if (inside)
                value->append(line);
            continue;
        }
        inside = false;
        if (value || !text::StartsWithIgnoreCase(line, name))
            continue;
        const std::size_t colon = line.find_first_not_of(" \t", name.size());
        if (colon == std::string_view::npos || line[colon] != ':')
            continue;
        value = std::string(line.substr(colon + 1));
        inside = true;
    }
    return value;
}

bool IsIdentityEncoding(std::string_view value)
{
    const std::size_t first = value.find_first_not_of(" \t");
    const std::size_t last = value.find_last_not_of(" \t");
    const std::string_view name = first == std::string_view::npos ? "" : value.substr(first, last - first + 1);
    return text::EqualsIgnoreCase(name, "7bit") || text::EqualsIgnoreCase(name, "8bit") ||
           text::EqualsIgnoreCase(name, "binary");
}

}  // namespace

void InitGMime()
{
    static const bool initialised = [] {
        g_mime_init();
        return true;
    }();
    static_cast<void>(initialised);
}

bool NeedsDecoding(std::string_view headerSection)
{
    if (!DeclaresMime(headerSection))
        return false;
    // One text part in Shift-JIS, not transfer-encoded and not an
    // attachment, decodes to the bytes that stand in the file: the mail is
    // shown as it stands, without the cost of a parse.
    const std::optional<std::string> type = HeaderValue(headerSection, "Content-Type");
    if (!type)
        return true;
    if (const auto encoding = HeaderValue(headerSection, "Content-Transfer-Encoding");
        encoding && !IsIdentityEncoding(*encoding))
        return true;
    const Library& library = TheLibrary();
    if (const auto disposition = HeaderValue(headerSection, "Content-Disposition")) {
        const ObjectPtr<GMimeContentDisposition> parsed(
            g_mime_content_disposition_parse(library.parserOptions, disposition->c_str()));
        if (parsed == nullptr || g_mime_content_disposition_is_attachment(parsed.get()))
            return true;
    }
    const ObjectPtr<GMimeContentType> parsed(g_mime_content_type_parse(library.parserOptions, type->c_str()));
    if (parsed == nullptr || !g_mime_content_type_is_type(parsed.get(), "text", "plain"))
        return true;
    return !IsShiftJisLabel(LabelKey(OrEmpty(g_mime_content_type_get_parameter(parsed.get(), "charset"))));
}

std::string DecodeHeaderText(std::string_view folded)
{
    std::string line = Unfolded(folded);
    if (line.find("=?") == std::string::npos) {
        // Nothing encoded: ASCII and the old clients' raw Shift-JIS stay
        // byte for byte (a round trip through Unicode would change CP932's
        // duplicate characters); only raw UTF-8 needs converting.
        if (Has8Bit(line) && text::IsValidUtf8(line))
            return text::Utf8ToCp932(line, text::Unmappable::Geta);
        return line;
    }
    return text::Utf8ToCp932(DecodedWordsUtf8(line), text::Unmappable::Geta);
}

bool DeclaresMime(std::string_view headerSection)
{
    for (std::size_t start = 0; start < headerSection.size();) {
        const std::size_t lf = headerSection.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? headerSection.size() : lf;
        const std::string_view line = headerSection.substr(start, end - start);
        if (line.empty() || line == "\r")
            return false;
        if (IsMimeHeaderLine(line))
            return true;
        start = end + 1;
    }
    return false;
}

DecodedMail DecodeMail(std::string_view fileBytes)
{
    const Library& library = TheLibrary();
    const ObjectPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(fileBytes.data(), fileBytes.size()));
    const ObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    const ObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), library.parserOptions));
    if (message == nullptr)
        return {};
    GMimeObject* body = g_mime_message_get_mime_part(message.get());
    if (body == nullptr)
        return {};
    PartCollector collector;
    collector.Walk(body, 0);
    return collector.Finish();
}

}  // namespace postloom::mime
