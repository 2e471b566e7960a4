#include "core/mime/mime_message.h"

#include "core/mime/gmime_setup.h"
#include "core/mime/html_text.h"
#include "core/text/codec.h"
#include "core/text/cp932.h"

#include <gmime/gmime.h>

#include <fcntl.h>

#include <array>
#include <cstddef>
#include <cstdio>
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

// Pieces of part contents are read in this size.
constexpr std::size_t kReadPiece = 64 * 1024;

// Hands what is left of stream to out in pieces; false on a read error.
bool Drain(GMimeStream* stream, const TextSink& out)
{
    std::string buffer(kReadPiece, '\0');
    while (!g_mime_stream_eos(stream)) {
        const ssize_t n = g_mime_stream_read(stream, buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (n > 0)
            out(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    return true;
}

// The content of a part after transfer decoding, the way the library's
// data wrapper writes it, but read piece by piece.
bool TransferDecoded(GMimePart* part, const TextSink& out)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    GMimeStream* raw = content == nullptr ? nullptr : g_mime_data_wrapper_get_stream(content);
    if (raw == nullptr)
        return true;
    if (g_mime_stream_reset(raw) != 0)
        return false;
    const ObjectPtr<GMimeStream> filtered(g_mime_stream_filter_new(raw));
    const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(content);
    if (encoding == GMIME_CONTENT_ENCODING_BASE64 || encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
        encoding == GMIME_CONTENT_ENCODING_UUENCODE) {
        const ObjectPtr<GMimeFilter> decoder(g_mime_filter_basic_new(encoding, FALSE));
        g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), decoder.get());
    }
    return Drain(filtered.get(), out);
}

// An entity with its own header, as a mail program reads it from a file.
// Written to a temporary file when the mail is one, else to memory.
bool Serialized(GMimeObject* object, bool large, const TextSink& out)
{
    std::FILE* temporary = large ? std::tmpfile() : nullptr;
    const ObjectPtr<GMimeStream> sink(temporary != nullptr ? g_mime_stream_file_new(temporary)
                                                           : g_mime_stream_mem_new());
    if (g_mime_object_write_to_stream(object, TheLibrary().formatOptions, sink.get()) < 0 ||
        g_mime_stream_flush(sink.get()) != 0 || g_mime_stream_reset(sink.get()) != 0)
        return false;
    return Drain(sink.get(), out);
}

std::string_view CharsetOf(GMimeObject* part)
{
    return OrEmpty(g_mime_object_get_content_type_parameter(part, "charset"));
}

// The traits of a text part's transfer-decoded bytes; nullopt on a read
// error.
std::optional<TextTraits> TraitsOf(GMimePart* part)
{
    TextTraitsScan scan;
    if (!TransferDecoded(part, [&scan](std::string_view piece) { scan.Feed(piece); }))
        return std::nullopt;
    return scan.Finish();
}

TextTraits TraitsOf(std::string_view bytes)
{
    TextTraitsScan scan;
    scan.Feed(bytes);
    return scan.Finish();
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

std::string AttachmentName(GMimeObject* object)
{
    std::string name(OrEmpty(g_mime_object_get_content_disposition_parameter(object, "filename")));
    if (name.empty())
        name = OrEmpty(g_mime_object_get_content_type_parameter(object, "name"));
    if (!text::IsValidUtf8(name))
        name = Cp932AsUtf8(name);
    return name;
}

enum class TextKind { Plain, Html, Prologue };

// One text of the body: the part (or multipart, for a prologue) it comes
// from, and how it is read.
struct TextPart {
    TextKind kind;
    GMimeObject* object;
    TextTraits traits;  // not used for HTML
    bool utf8 = true;
};

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

    // The texts and the attachments, in reading order. Whether a text/html
    // part is shown or attached is known only now, when it is clear whether
    // the mail has other text.
    void Finish(std::vector<TextPart>& texts, std::vector<GMimeObject*>& attachments) const
    {
        bool hasOtherText = false;
        for (const Item& item : items_)
            hasOtherText = hasOtherText || (item.kind != Kind::Html && item.kind != Kind::Attachment);
        for (const Item& item : items_) {
            switch (item.kind) {
            case Kind::Plain:
                texts.push_back({TextKind::Plain, item.object, {}});
                break;
            case Kind::AlternativeHtml:
                texts.push_back({TextKind::Html, item.object, {}});
                break;
            case Kind::Html:
                if (hasOtherText)
                    attachments.push_back(item.object);
                else
                    texts.push_back({TextKind::Html, item.object, {}});
                break;
            case Kind::Prologue:
                texts.push_back({TextKind::Prologue, item.object, {}});
                break;
            case Kind::Attachment:
                attachments.push_back(item.object);
                break;
            }
        }
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

// A header line longer than this, or a header section longer than this,
// is not handed to the parser as it stands.
constexpr std::size_t kMaxHeaderLine = 64 * 1024;
constexpr std::size_t kMaxHeaderSection = 1024 * 1024;

bool IsDecodingField(std::string_view line)
{
    return text::StartsWithIgnoreCase(line, "Content-") || text::StartsWithIgnoreCase(line, "MIME-Version");
}

// Reads the header section of a mail (up to its first empty line) through
// a bounded buffer. Within the bounds it is kept as it stands; beyond them
// only the fields that decoding reads are kept, each line cut at the bound,
// and the rest is skipped without being held.
class HeaderScanner {
public:
    // Takes the next bytes of the mail; true once the section has ended.
    bool Feed(std::string_view piece)
    {
        while (!piece.empty() && !ended_) {
            const std::size_t lf = piece.find('\n');
            const std::string_view part = piece.substr(0, lf);
            const std::size_t room = kMaxHeaderLine - line_.size();
            line_.append(part.substr(0, room));
            lineCut_ = lineCut_ || part.size() > room;
            const std::size_t used = lf == std::string_view::npos ? piece.size() : lf + 1;
            offset_ += used;
            piece.remove_prefix(used);
            if (lf != std::string_view::npos)
                EndLine(true);
        }
        return ended_;
    }

    // The end of the mail came first.
    void Finish()
    {
        if (!ended_ && (!line_.empty() || lineCut_))
            EndLine(false);
        ended_ = true;
    }

    // Whether the section is held as it stands.
    bool Whole() const { return whole_; }
    // The section as the parser is to see it: as it stands, else its kept
    // fields and an empty line.
    std::string Section() const { return whole_ ? exact_ : kept_ + "\n"; }
    // Where the body starts in the mail.
    std::uint64_t BodyStart() const { return offset_; }

private:
    void EndLine(bool withLineFeed)
    {
        const std::string_view end = withLineFeed ? "\n" : "";
        if (whole_ && (lineCut_ || exact_.size() + line_.size() + end.size() > kMaxHeaderSection)) {
            whole_ = false;
            exact_ = std::string();
        }
        if (whole_)
            exact_.append(line_).append(end);
        if (!lineCut_ && (line_.empty() || line_ == "\r")) {
            ended_ = true;
            return;
        }
        if (line_.front() != ' ' && line_.front() != '\t')
            keepField_ = IsDecodingField(line_);
        if (keepField_ && kept_.size() + line_.size() + 1 <= kMaxHeaderSection)
            kept_.append(line_).append("\n");
        line_.clear();
        lineCut_ = false;
    }

    std::string line_;
    bool lineCut_ = false;
    std::string exact_;
    bool whole_ = true;
    std::string kept_;
    bool keepField_ = false;
    std::uint64_t offset_ = 0;
    bool ended_ = false;
};

// Runs scanner over the start of source; false on a read error.
bool ScanHeader(GMimeStream* source, HeaderScanner& scanner)
{
    if (g_mime_stream_reset(source) != 0)
        return false;
    std::string buffer(kReadPiece, '\0');
    while (!g_mime_stream_eos(source)) {
        const ssize_t n = g_mime_stream_read(source, buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (scanner.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return g_mime_stream_reset(source) == 0;
    }
    scanner.Finish();
    return g_mime_stream_reset(source) == 0;
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
    return !IsShiftJisCharset(OrEmpty(g_mime_content_type_get_parameter(parsed.get(), "charset")));
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

struct MimeMail::Parsed {
    ObjectPtr<GMimeStream> source;
    ObjectPtr<GMimeMessage> message;
    bool large = false;
    std::vector<TextPart> texts;
    std::vector<GMimeObject*> attachmentParts;
    std::vector<AttachmentInfo> attachments;
};

namespace {

// Parses the mail in source; nullptr when nothing of it decodes, or, with
// onlyWhenNeeded, when its page needs no decoding.
std::unique_ptr<MimeMail::Parsed> Parse(ObjectPtr<GMimeStream> source, bool large, bool onlyWhenNeeded)
{
    const Library& library = TheLibrary();
    HeaderScanner header;
    if (!ScanHeader(source.get(), header))
        return nullptr;
    if (onlyWhenNeeded && !NeedsDecoding(header.Section()))
        return nullptr;
    ObjectPtr<GMimeStream> parsed;
    if (header.Whole()) {
        parsed.reset(GMIME_STREAM(g_object_ref(source.get())));
    } else {
        // The kept fields, then the body as it stands in the source.
        const std::string section = header.Section();
        parsed.reset(g_mime_stream_cat_new());
        const ObjectPtr<GMimeStream> head(g_mime_stream_mem_new_with_buffer(section.data(), section.size()));
        const ObjectPtr<GMimeStream> body(
            g_mime_stream_substream(source.get(), static_cast<gint64>(header.BodyStart()), -1));
        g_mime_stream_cat_add_source(GMIME_STREAM_CAT(parsed.get()), head.get());
        g_mime_stream_cat_add_source(GMIME_STREAM_CAT(parsed.get()), body.get());
    }
    const ObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(parsed.get()));
    // The contents of parts stay in the source and are read when written.
    g_mime_parser_set_persist_stream(parser.get(), TRUE);
    auto mail = std::make_unique<MimeMail::Parsed>();
    mail->message.reset(g_mime_parser_construct_message(parser.get(), library.parserOptions));
    if (mail->message == nullptr)
        return nullptr;
    GMimeObject* body = g_mime_message_get_mime_part(mail->message.get());
    if (body == nullptr)
        return nullptr;
    PartCollector collector;
    collector.Walk(body, 0);
    collector.Finish(mail->texts, mail->attachmentParts);
    if (mail->texts.empty() && mail->attachmentParts.empty())
        return nullptr;
    mail->source = std::move(source);
    mail->large = large;
    for (TextPart& text : mail->texts) {
        if (text.kind == TextKind::Html)
            continue;
        if (text.kind == TextKind::Prologue) {
            text.traits = TraitsOf(OrEmpty(g_mime_multipart_get_prologue(GMIME_MULTIPART(text.object))));
            text.utf8 = TextDecoder({}, text.traits).utf8();
            continue;
        }
        const std::optional<TextTraits> traits = TraitsOf(GMIME_PART(text.object));
        if (!traits)
            return nullptr;
        text.traits = *traits;
        text.utf8 = TextDecoder(CharsetOf(text.object), text.traits).utf8();
    }
    for (GMimeObject* part : mail->attachmentParts)
        mail->attachments.push_back({AttachmentName(part), MimeTypeOf(part)});
    return mail;
}

// Reads a text part through decoder into out; false on a read error.
bool DecodeTextPart(GMimePart* part, TextDecoder& decoder, const TextSink& out)
{
    if (!TransferDecoded(part, [&](std::string_view piece) { decoder.Feed(piece, out); }))
        return false;
    decoder.Finish(out);
    return true;
}

}  // namespace

MimeMail::MimeMail(std::unique_ptr<Parsed> parsed) : parsed_(std::move(parsed)) {}

MimeMail::~MimeMail() = default;

std::unique_ptr<MimeMail> MimeMail::FromBytes(std::string_view fileBytes, bool onlyWhenNeeded)
{
    TheLibrary();
    ObjectPtr<GMimeStream> source(g_mime_stream_mem_new_with_buffer(fileBytes.data(), fileBytes.size()));
    std::unique_ptr<Parsed> parsed = Parse(std::move(source), false, onlyWhenNeeded);
    return parsed ? std::unique_ptr<MimeMail>(new MimeMail(std::move(parsed))) : nullptr;
}

std::unique_ptr<MimeMail> MimeMail::FromFile(int fd, bool onlyWhenNeeded)
{
    TheLibrary();
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return nullptr;
    // The stream owns the descriptor from here on.
    ObjectPtr<GMimeStream> source(g_mime_stream_fs_new_with_bounds(own, 0, -1));
    std::unique_ptr<Parsed> parsed = Parse(std::move(source), true, onlyWhenNeeded);
    return parsed ? std::unique_ptr<MimeMail>(new MimeMail(std::move(parsed))) : nullptr;
}

std::size_t MimeMail::textCount() const
{
    return parsed_->texts.size();
}

bool MimeMail::textIsUtf8(std::size_t i) const
{
    return parsed_->texts[i].utf8;
}

bool MimeMail::WriteText(std::size_t i, const TextSink& out) const
{
    const TextPart& text = parsed_->texts[i];
    switch (text.kind) {
    case TextKind::Plain: {
        TextDecoder decoder(CharsetOf(text.object), text.traits);
        return DecodeTextPart(GMIME_PART(text.object), decoder, out);
    }
    case TextKind::Prologue: {
        TextDecoder decoder({}, text.traits);
        decoder.Feed(OrEmpty(g_mime_multipart_get_prologue(GMIME_MULTIPART(text.object))), out);
        decoder.Finish(out);
        return true;
    }
    case TextKind::Html:
        break;
    }
    // The layout of an HTML document needs all of it.
    const std::optional<TextTraits> traits = TraitsOf(GMIME_PART(text.object));
    if (!traits)
        return false;
    TextDecoder decoder(CharsetOf(text.object), *traits);
    std::string html;
    if (!DecodeTextPart(GMIME_PART(text.object), decoder, [&html](std::string_view piece) { html.append(piece); }))
        return false;
    const std::string laidOut = HtmlToText(decoder.utf8() ? html : Cp932AsUtf8(html));
    if (!laidOut.empty())
        out(laidOut);
    return true;
}

const std::vector<MimeMail::AttachmentInfo>& MimeMail::attachments() const
{
    return parsed_->attachments;
}

bool MimeMail::WriteAttachment(std::size_t i, const TextSink& out) const
{
    GMimeObject* object = parsed_->attachmentParts[i];
    if (GMIME_IS_PART(object))
        return TransferDecoded(GMIME_PART(object), out);
    if (GMIME_IS_MESSAGE_PART(object)) {
        GMimeMessage* message = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        return message == nullptr || Serialized(GMIME_OBJECT(message), parsed_->large, out);
    }
    return Serialized(object, parsed_->large, out);
}

DecodedMail DecodeMail(std::string_view fileBytes)
{
    const std::unique_ptr<MimeMail> mail = MimeMail::FromBytes(fileBytes, false);
    DecodedMail decoded;
    if (mail == nullptr)
        return decoded;
    const auto into = [](std::string& bytes) { return [&bytes](std::string_view piece) { bytes.append(piece); }; };
    for (std::size_t i = 0; i < mail->textCount(); ++i) {
        TextBlock& block = decoded.texts.emplace_back(TextBlock{{}, mail->textIsUtf8(i)});
        static_cast<void>(mail->WriteText(i, into(block.text)));
    }
    for (std::size_t i = 0; i < mail->attachments().size(); ++i) {
        const MimeMail::AttachmentInfo& info = mail->attachments()[i];
        Attachment& attachment = decoded.attachments.emplace_back(Attachment{info.name, info.contentType, {}});
        static_cast<void>(mail->WriteAttachment(i, into(attachment.data)));
    }
    decoded.decoded = true;
    return decoded;
}

}  // namespace postloom::mime
