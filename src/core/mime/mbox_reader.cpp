#include "core/mime/mbox_reader.h"

#include "core/mime/gmime_setup.h"

#include <gmime/gmime.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace postloom::mime {

namespace {

// What the library said while it read one message.
struct Warnings {
    bool truncated = false;      // the stream ended inside the message
    bool invalidHeader = false;  // a line that is no header where one was due
};

void OnWarning(gint64, GMimeParserWarning code, const gchar*, gpointer data)
{
    auto* warnings = static_cast<Warnings*>(data);
    if (code == GMIME_WARN_TRUNCATED_MESSAGE)
        warnings->truncated = true;
    else if (code == GMIME_CRIT_INVALID_HEADER_NAME)
        warnings->invalidHeader = true;
}

}  // namespace

// The library's parser over the file, from some offset on. Offsets it
// reports are offsets in the file.
struct MboxReader::Parser {
    GMimeStream* file = nullptr;  // the whole file as opened
    GMimeParser* parser = nullptr;
    GMimeParserOptions* options = nullptr;
    Warnings warnings;
    bool ended = false;
    // The last "From " line the parsers reported; each one found later lies
    // further on, so the reading always advances.
    gint64 lastMarker = -1;
    // After a message that ended before the end of the file: the parser
    // stopped at the "From " line there.
    bool stoppedAtFrom = false;
    std::uint64_t stopOffset = 0;

    ~Parser()
    {
        if (parser != nullptr)
            g_object_unref(parser);
        if (options != nullptr)
            g_mime_parser_options_free(options);
        if (file != nullptr)
            g_object_unref(file);
    }
};

struct MboxReader::Step {
    enum class Kind { Mail, BodyLine, End };
    Kind kind = Kind::End;
    std::uint64_t offset = 0;        // of the "From " line
    std::uint64_t contentBegin = 0;  // the line after it
    bool cut = false;
};

MboxReader::MboxReader(std::string_view cp932Path)
{
    file_ = platform::OpenForReading(cp932Path, error_);
    if (!file_)
        return;
    struct stat st {};
    if (::fstat(::fileno(file_.get()), &st) != 0) {
        error_ = {errno, false};
        return;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    firstMail_ = size_;
}

MboxReader::~MboxReader() = default;

void MboxReader::Restart(std::uint64_t offset)
{
    if (!parser_) {
        InitGMime();
        parser_ = std::make_unique<Parser>();
        // The stream owns a descriptor of its own, so that its reading
        // position is no concern of ours.
        const int fd = ::dup(::fileno(file_.get()));
        if (fd < 0) {
            error_ = {errno, false};
            parser_->ended = true;
            return;
        }
        parser_->file = g_mime_stream_fs_new_with_bounds(fd, 0, static_cast<gint64>(size_));
        parser_->options = g_mime_parser_options_new();
        g_mime_parser_options_set_warning_callback(parser_->options, OnWarning, &parser_->warnings);
    }
    if (parser_->parser != nullptr)
        g_object_unref(parser_->parser);
    GMimeStream* rest = g_mime_stream_substream(parser_->file, static_cast<gint64>(offset), static_cast<gint64>(size_));
    parser_->parser = g_mime_parser_new_with_stream(rest);
    g_object_unref(rest);
    g_mime_parser_set_format(parser_->parser, GMIME_FORMAT_MBOX);
    g_mime_parser_set_respect_content_length(parser_->parser, FALSE);
    parser_->stoppedAtFrom = false;
}

MboxReader::Step MboxReader::Advance()
{
    Parser& p = *parser_;
    if (p.ended)
        return {};
    p.warnings = {};
    GMimeMessage* message = g_mime_parser_construct_message(p.parser, p.options);
    const gint64 marker = g_mime_parser_get_mbox_marker_offset(p.parser);
    const gint64 headers = g_mime_parser_get_headers_begin(p.parser);
    const bool fresh = marker > p.lastMarker;
    if (fresh)
        p.lastMarker = marker;
    if (message != nullptr) {
        g_object_unref(message);
        const gint64 tell = g_mime_parser_tell(p.parser);
        p.stoppedAtFrom = tell >= 0 && static_cast<std::uint64_t>(tell) < size_;
        p.stopOffset = static_cast<std::uint64_t>(tell);
        p.ended = g_mime_parser_eos(p.parser);
        const gint64 offset = marker >= 0 ? marker : headers;
        return {Step::Kind::Mail, static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(headers),
                p.warnings.truncated};
    }
    if (fresh) {
        // A "From " line the library would not read a message after: body
        // text when a line that is no header follows it, else a mail whose
        // header the file cuts. The parser is stuck on it; a new one looks
        // for the next line from just behind its start.
        const Warnings warnings = p.warnings;
        Restart(static_cast<std::uint64_t>(marker) + 1);
        if (warnings.invalidHeader) {
            // After an empty line the writer of the mbox would have quoted
            // body text: the line starts a mail, whatever follows it.
            bool separator = false;
            std::uint64_t begin = 0;
            if (!AfterEmptyLine(static_cast<std::uint64_t>(marker), separator))
                return {};
            if (!separator)
                return {Step::Kind::BodyLine, static_cast<std::uint64_t>(marker), 0, false};
            if (!LineAfter(static_cast<std::uint64_t>(marker), begin))
                return {};
            return {Step::Kind::Mail, static_cast<std::uint64_t>(marker), begin, false};
        }
        std::uint64_t begin = static_cast<std::uint64_t>(headers);
        if (headers <= marker && !LineAfter(static_cast<std::uint64_t>(marker), begin))
            return {};
        return {Step::Kind::Mail, static_cast<std::uint64_t>(marker), begin, true};
    }
    p.ended = true;
    // The file ends on a "From " line, or inside one: a mail cut before its
    // header.
    if (p.stoppedAtFrom) {
        std::uint64_t begin = 0;
        if (!LineAfter(p.stopOffset, begin))
            return {};
        return {Step::Kind::Mail, p.stopOffset, begin, true};
    }
    return {};
}

bool MboxReader::LineAfter(std::uint64_t offset, std::uint64_t& next)
{
    constexpr std::uint64_t kPiece = 4096;
    std::string piece;
    for (std::uint64_t at = offset; at < size_; at += piece.size()) {
        if (!ReadRange(at, std::min(size_, at + kPiece), piece))
            return false;
        if (const std::size_t lf = piece.find('\n'); lf != std::string::npos) {
            next = at + lf + 1;
            return true;
        }
    }
    next = size_;
    return true;
}

bool MboxReader::AfterEmptyLine(std::uint64_t offset, bool& empty)
{
    empty = offset == 0;
    if (empty)
        return true;
    std::string before;
    if (!ReadRange(offset >= 3 ? offset - 3 : 0, offset, before))
        return false;
    if (before.empty() || before.back() != '\n')
        return true;
    before.pop_back();
    if (!before.empty() && before.back() == '\r')
        before.pop_back();
    empty = before.empty() ? offset < 3 : before.back() == '\n';
    return true;
}

bool MboxReader::WithoutClosingEmptyLine(std::uint64_t begin, std::uint64_t& end)
{
    std::string tail;
    if (!ReadRange(std::max(begin, end >= 3 ? end - 3 : 0), end, tail))
        return false;
    if (tail.empty() || tail.back() != '\n')
        return true;
    std::size_t lineStart = tail.size() - 1;
    if (lineStart > 0 && tail[lineStart - 1] == '\r')
        --lineStart;
    // A mail that is this one line keeps it: it ends an empty header.
    if (lineStart > 0 && tail[lineStart - 1] == '\n')
        end -= tail.size() - lineStart;
    return true;
}

bool MboxReader::ReadRange(std::uint64_t begin, std::uint64_t end, std::string& out)
{
    out.resize(static_cast<std::size_t>(end - begin));
    if (platform::ReadExactly(::fileno(file_.get()), begin, out.data(), out.size()))
        return true;
    error_ = {errno, false};
    return false;
}

std::optional<MboxMail> MboxReader::Next()
{
    if (!Ok())
        return std::nullopt;
    if (!started_) {
        started_ = true;
        if (size_ == 0)
            return std::nullopt;
        Restart(0);
        if (!Ok())
            return std::nullopt;
    }
    for (;;) {
        const Step step = Advance();
        if (!Ok())
            return std::nullopt;
        if (step.kind == Step::Kind::BodyLine)
            continue;
        if (step.kind == Step::Kind::Mail && !pending_) {
            firstMail_ = step.offset;
            pending_ = Pending{step.offset, step.contentBegin, step.cut};
            continue;
        }
        if (!pending_)
            return std::nullopt;
        const bool last = step.kind == Step::Kind::End;
        const std::uint64_t end = last ? size_ : step.offset;
        MboxMail mail;
        mail.offset = pending_->offset;
        mail.cut = last && pending_->cut;
        mail.begin = std::min(pending_->contentBegin, end);
        mail.end = end;
        if (!WithoutClosingEmptyLine(mail.begin, mail.end))
            return std::nullopt;
        if (last)
            pending_.reset();
        else
            pending_ = Pending{step.offset, step.contentBegin, step.cut};
        return mail;
    }
}

}  // namespace postloom::mime
