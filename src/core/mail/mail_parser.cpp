#include "core/mail/mail_parser.h"

#include "core/mail/mail_parser_text.h"
#include "core/mail/stored_limits.h"
#include "core/mime/mime_message.h"
#include "core/platform/files.h"
#include "core/text/cp932.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postloom {

namespace {

enum class Header { None, MessageId, InReplyTo, References, Subject, Date, From };

struct HeaderName {
    std::string_view name;
    Header header;
};

// Compared in this order over each name's own length, case ignored: a
// prefix match, so "Subjects:" counts as Subject while "X-Subject:" counts
// as nothing.
constexpr std::array<HeaderName, 6> kHeaderNames{{
    {"Message-Id", Header::MessageId},
    {"In-Reply-To", Header::InReplyTo},
    {"References", Header::References},
    {"Subject", Header::Subject},
    {"Date", Header::Date},
    {"From", Header::From},
}};

Header HeaderOf(std::string_view line)
{
    for (const HeaderName& entry : kHeaderNames) {
        if (text::StartsWithIgnoreCase(line, entry.name))
            return entry.header;
    }
    return Header::None;
}

// Walks CP932 text a byte at a time and tells whether a byte starts a
// character, so that the trail byte of a double-byte character is never
// taken for "<", ">" or ":". A walk over pieces goes on where the last
// piece ended.
class CharWalker {
public:
    bool Starts(char c)
    {
        if (trail_) {
            trail_ = false;
            return false;
        }
        trail_ = text::IsLeadByte(static_cast<unsigned char>(c));
        return true;
    }

private:
    bool trail_ = false;
};

// A stored text keeps kMaxStoredTextLength bytes cut at a character
// boundary; one byte more tells whether a double-byte character crosses
// that limit, so the cut of this prefix equals the cut of the whole text.
constexpr std::size_t kKeptTextBytes = kMaxStoredTextLength + 1;

// Subject and From are decoded before they are cut, and their encoded
// form is longer than the text it gives: this much of it is decoded.
constexpr std::size_t kKeptEncodedBytes = 64 * 1024;

// A Date value is read from this much of its line.
constexpr std::size_t kKeptDateLineBytes = 4 * 1024;

// The piece of a line taken at a time from the file; it holds every header
// name, so a line is classified by its first piece.
constexpr std::size_t kLinePieceBytes = 4 * 1024;

// A file holding a NUL among these first bytes is not a mail.
constexpr std::size_t kNulCheckBytes = 4 * 1024;

void AppendUpTo(std::string& kept, std::string_view bytes, std::size_t limit)
{
    if (kept.size() < limit)
        kept.append(bytes.substr(0, limit - kept.size()));
}

// The text between the first "<" and the next ">", fed a byte at a time.
// Without "<" the ">" is looked for in the whole text; without ">" the id is
// empty. Only what a stored record keeps of the id is held.
class AngleIdScanner {
public:
    void Take(std::string_view bytes)
    {
        for (const char c : bytes)
            Take(c);
    }

    std::string Id() const
    {
        if (opened_)
            return closed_ ? std::string(StoredText(id_)) : std::string();
        return closedBeforeOpen_ ? std::string(StoredText(beforeOpen_)) : std::string();
    }

private:
    void Take(char c)
    {
        const bool starts = walker_.Starts(c);
        if (!opened_) {
            if (starts && c == '<') {
                opened_ = true;
            } else if (!closedBeforeOpen_) {
                if (starts && c == '>')
                    closedBeforeOpen_ = true;
                else if (beforeOpen_.size() < kKeptTextBytes)
                    beforeOpen_.push_back(c);
            }
        } else if (!closed_) {
            if (starts && c == '>')
                closed_ = true;
            else if (id_.size() < kKeptTextBytes)
                id_.push_back(c);
        }
    }

    CharWalker walker_;
    bool opened_ = false;
    bool closed_ = false;
    bool closedBeforeOpen_ = false;
    std::string id_;
    std::string beforeOpen_;  // the id when the text holds no "<"
};

// Every "<...>" of a References value in order, duplicates included, fed a
// byte at a time. An unclosed "<" gives an empty id, and so does every "<"
// after it. Only the first kMaxStoredReferences ids are kept, each as a
// stored record keeps it.
class ReferenceScanner {
public:
    void Take(std::string_view bytes)
    {
        for (const char c : bytes)
            Take(c);
    }

    void Finish(std::vector<std::string>& ids)
    {
        if (inside_) {
            // No ">" followed this "<": it and every "<" after it give an
            // empty id.
            for (std::size_t n = 0; n <= opensInside_ && ids_.size() < kMaxStoredReferences; ++n)
                ids_.emplace_back();
            inside_ = false;
        }
        for (std::string& id : ids_)
            ids.push_back(std::move(id));
        ids_.clear();
    }

private:
    void Take(char c)
    {
        const bool starts = walker_.Starts(c);
        if (!inside_) {
            if (starts && c == '<') {
                inside_ = true;
                id_.clear();
                opensInside_ = 0;
            }
            return;
        }
        if (starts && c == '>') {
            if (ids_.size() < kMaxStoredReferences)
                ids_.emplace_back(StoredText(id_));
            inside_ = false;
            return;
        }
        if (starts && c == '<')
            ++opensInside_;
        if (id_.size() < kKeptTextBytes)
            id_.push_back(c);
    }

    CharWalker walker_;
    bool inside_ = false;
    std::string id_;
    std::size_t opensInside_ = 0;
    std::vector<std::string> ids_;
};

// A header line is "Name:" with a name of printable ASCII characters
// without blanks; a file without one before its first empty line is not a
// mail.
class HeaderLineCheck {
public:
    void StartLine(bool continuation)
    {
        state_ = found_ || continuation ? State::Decided : State::InName;
        nameLength_ = 0;
    }

    void Take(std::string_view bytes)
    {
        for (std::size_t i = 0; i < bytes.size() && state_ == State::InName; ++i) {
            const auto c = static_cast<unsigned char>(bytes[i]);
            if (c == ':') {
                found_ = nameLength_ > 0;
                state_ = State::Decided;
            } else if (c > 0x20 && c < 0x7F) {
                ++nameLength_;
            } else {
                state_ = State::Decided;
            }
        }
    }

    bool Found() const { return found_; }

private:
    enum class State { InName, Decided };
    State state_ = State::Decided;
    std::size_t nameLength_ = 0;
    bool found_ = false;
};

// Fills a record from the header section, taking each line in pieces so
// that a line of any length is read without being held: of every value
// only what a stored record keeps is held. Continuation lines (starting
// with a blank or a tab) extend Subject, From, In-Reply-To and References.
class HeaderParser {
public:
    HeaderParser(MailRecord& record, HeaderDecoding decoding)
        : record_(record),
          decoding_(decoding),
          keptTextBytes_(decoding == HeaderDecoding::Mime ? kKeptEncodedBytes : kKeptTextBytes)
    {
    }

    // One piece of the current line; the first piece of a line holds its
    // start up to every header name's length, or the whole line. False when
    // the piece is the first empty line, which ends the header section.
    bool TakePiece(std::string_view piece, bool lineEnded)
    {
        if (atLineStart_) {
            if (piece.empty() && lineEnded)
                return false;
            StartLine(piece);
        }
        TakeLineBytes(piece);
        if (lineEnded)
            EndLine();
        return true;
    }

    void Finish()
    {
        if (!atLineStart_)
            EndLine();
        record_.inReplyTo = inReplyTo_.Id();
        references_.Finish(record_.references);
        if (decoding_ == HeaderDecoding::Mime) {
            if (sawSubject_)
                record_.subject = mime::DecodeHeaderText(record_.subject);
            if (sawFrom_)
                record_.from = mime::DecodeHeaderText(record_.from);
        }
        record_.subject.resize(StoredText(record_.subject).size());
        record_.from.resize(StoredText(record_.from).size());
    }

    bool SawHeaderLine() const { return headerLineCheck_.Found(); }

private:
    enum class Line { Ignored, Continuation, Value, MessageId, Date };

    void StartLine(std::string_view firstPiece)
    {
        atLineStart_ = false;
        const bool continuation = !firstPiece.empty() && (firstPiece.front() == ' ' || firstPiece.front() == '\t');
        headerLineCheck_.StartLine(continuation);
        if (continuation) {
            line_ = current_ == Header::None ? Line::Ignored : Line::Continuation;
            // Subject and From keep their folding for the MIME decoder,
            // which unfolds them as RFC 5322 says; otherwise the blanks
            // that start a continuation line go.
            trimming_ = !FoldedForDecoding();
            if (FoldedForDecoding())
                TakeValue("\n");
            return;
        }
        current_ = HeaderOf(firstPiece);
        switch (current_) {
        case Header::MessageId:
            // Taken from this line alone; an id on a continuation line is lost.
            line_ = Line::MessageId;
            messageId_ = AngleIdScanner();
            current_ = Header::None;
            return;
        case Header::Date:
            line_ = Line::Date;
            dateLine_.clear();
            current_ = Header::None;
            return;
        case Header::None:
            line_ = Line::Ignored;
            return;
        case Header::InReplyTo:
        case Header::References:
            record_.noReplyHeaders = 0;
            break;
        case Header::Subject:
            sawSubject_ = true;
            break;
        case Header::From:
            sawFrom_ = true;
            break;
        }
        // A header that occurs again replaces its earlier value.
        line_ = Line::Value;
        ClearValue();
        afterColon_ = false;
        colonWalker_ = CharWalker();
    }

    void TakeLineBytes(std::string_view bytes)
    {
        headerLineCheck_.Take(bytes);
        switch (line_) {
        case Line::Ignored:
            break;
        case Line::Continuation:
            TakeTrimmed(bytes);
            break;
        case Line::Value:
            TakeHeaderValue(bytes);
            break;
        case Line::MessageId:
            messageId_.Take(bytes);
            break;
        case Line::Date:
            AppendUpTo(dateLine_, bytes, kKeptDateLineBytes);
            break;
        }
    }

    // The value is the text after the line's first ":" without leading
    // white space; a line without ":" is its own value. So the bytes go to
    // the value from the start of the line, and a ":" starts it afresh.
    void TakeHeaderValue(std::string_view bytes)
    {
        if (!afterColon_) {
            std::size_t colon = 0;
            while (colon < bytes.size() && !(colonWalker_.Starts(bytes[colon]) && bytes[colon] == ':'))
                ++colon;
            if (colon == bytes.size()) {
                TakeValue(bytes);
                return;
            }
            ClearValue();
            afterColon_ = true;
            trimming_ = true;
            bytes = bytes.substr(colon + 1);
        }
        TakeTrimmed(bytes);
    }

    void TakeTrimmed(std::string_view bytes)
    {
        if (trimming_) {
            bytes = text::TrimLeadingWhiteSpace(bytes);
            if (bytes.empty())
                return;
            trimming_ = false;
        }
        TakeValue(bytes);
    }

    void TakeValue(std::string_view bytes)
    {
        switch (current_) {
        case Header::Subject:
            AppendUpTo(record_.subject, bytes, keptTextBytes_);
            break;
        case Header::From:
            AppendUpTo(record_.from, bytes, keptTextBytes_);
            break;
        case Header::InReplyTo:
            inReplyTo_.Take(bytes);
            break;
        case Header::References:
            references_.Take(bytes);
            break;
        case Header::None:
        case Header::MessageId:
        case Header::Date:
            break;
        }
    }

    void ClearValue()
    {
        switch (current_) {
        case Header::Subject:
            record_.subject.clear();
            break;
        case Header::From:
            record_.from.clear();
            break;
        case Header::InReplyTo:
            inReplyTo_ = AngleIdScanner();
            break;
        case Header::References:
            references_ = ReferenceScanner();
            break;
        case Header::None:
        case Header::MessageId:
        case Header::Date:
            break;
        }
    }

    void EndLine()
    {
        if (line_ == Line::MessageId)
            record_.messageId = messageId_.Id();
        else if (line_ == Line::Date)
            record_.date = ParseDateLine(dateLine_);
        atLineStart_ = true;
    }

    bool FoldedForDecoding() const
    {
        return decoding_ == HeaderDecoding::Mime && (current_ == Header::Subject || current_ == Header::From);
    }

    MailRecord& record_;
    const HeaderDecoding decoding_;
    const std::size_t keptTextBytes_;
    bool sawSubject_ = false;
    bool sawFrom_ = false;
    Header current_ = Header::None;  // the header a continuation line extends
    bool atLineStart_ = true;
    Line line_ = Line::Ignored;
    bool afterColon_ = false;
    bool trimming_ = false;
    CharWalker colonWalker_;
    HeaderLineCheck headerLineCheck_;
    AngleIdScanner messageId_;
    std::string dateLine_;
    AngleIdScanner inReplyTo_;
    ReferenceScanner references_;
};

}  // namespace

MailFileRead ParseMailFile(MailRecord& record, std::string_view path, std::string_view fileName,
                           platform::FileError& error, HeaderDecoding decoding)
{
    auto reader = platform::TextReader::Open(path, error);
    if (!reader)
        return MailFileRead::Unopenable;
    record.fileName = std::string(fileName);
    // Binary data (an image, an archive) holds NUL bytes at its start.
    if (reader->PeekStart(kNulCheckBytes).find('\0') != std::string_view::npos)
        return MailFileRead::NotMail;
    HeaderParser parser(record, decoding);
    std::string piece;
    bool lineEnded = false;
    // A read error ends the header section like the end of the file: the
    // record keeps what was read.
    while (reader->ReadLinePiece(piece, kLinePieceBytes, lineEnded) && parser.TakePiece(piece, lineEnded)) {
    }
    parser.Finish();
    return parser.SawHeaderLine() ? MailFileRead::Mail : MailFileRead::NotMail;
}

MailFileRead ParseMailFile(MailRecord& record, std::string_view path, std::string_view fileName,
                           HeaderDecoding decoding)
{
    platform::FileError ignored;
    return ParseMailFile(record, path, fileName, ignored, decoding);
}

void ParseMailHeader(MailRecord& record, std::string_view headerText, HeaderDecoding decoding)
{
    HeaderParser parser(record, decoding);
    std::string_view rest = headerText;
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        const std::string_view line = rest.substr(0, lf);
        if (!parser.TakePiece(line, true))
            break;
        rest = lf == std::string_view::npos ? std::string_view{} : rest.substr(lf + 1);
    }
    parser.Finish();
}

std::string DisplaySubject(const MailRecord& record, std::int32_t cutMLTitle)
{
    const std::string_view subject = record.subject;
    if (cutMLTitle == 0 || text::FindChar(subject, '[') == text::npos)
        return record.subject;
    // Everything up to the first "]" goes, even text in front of the "[".
    return std::string(text::TrimLeadingWhiteSpace(mail_text::AfterOrWhole(subject, text::FindChar(subject, ']'))));
}

}  // namespace postloom
