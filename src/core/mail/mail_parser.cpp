#include "core/mail/mail_parser.h"

#include "core/mail/mail_parser_text.h"
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

// The text between the first "<" and the next ">". Without "<" the ">" is
// looked for in the whole text; without ">" the id is empty.
std::string_view AngleId(std::string_view s)
{
    const std::string_view afterOpen = mail_text::AfterOrWhole(s, text::FindChar(s, '<'));
    return text::TextBefore(afterOpen, text::FindChar(afterOpen, '>'));
}

// Every "<...>" of a References value in order, duplicates included. An
// unclosed "<" gives an empty id, and the search for the next "<" goes on
// right after it.
void AppendReferenceIds(std::string_view rest, std::vector<std::string>& ids)
{
    for (std::size_t open = text::FindChar(rest, '<'); open != text::npos; open = text::FindChar(rest, '<')) {
        rest = text::TextAfter(rest, open);
        const std::size_t close = text::FindChar(rest, '>');
        if (close == text::npos) {
            // No ">" follows, so every "<" left gives an empty id; counting
            // them in one pass keeps a long run of "<" linear.
            ids.emplace_back();
            for (std::size_t i = text::FindChar(rest, '<'); i != text::npos; i = text::FindChar(rest, '<', i + 1))
                ids.emplace_back();
            return;
        }
        ids.emplace_back(text::TextBefore(rest, close));
        rest = text::TextAfter(rest, close);
    }
}

// Fills a record line by line from the header section. Continuation lines
// (starting with a blank or a tab) extend Subject, From, In-Reply-To and
// References; the two reply headers are kept raw until the end.
class HeaderParser {
public:
    HeaderParser(MailRecord& record, HeaderDecoding decoding) : record_(record), decoding_(decoding) {}

    // False when the line ends the header section (the first empty line).
    bool TakeLine(std::string_view line)
    {
        if (line.empty())
            return false;
        if (line.front() == ' ' || line.front() == '\t')
            TakeContinuation(line);
        else
            TakeHeaderLine(line);
        return true;
    }

    void Finish()
    {
        record_.inReplyTo = std::string(AngleId(rawInReplyTo_));
        AppendReferenceIds(rawReferences_, record_.references);
        if (decoding_ == HeaderDecoding::Mime) {
            if (sawSubject_)
                record_.subject = mime::DecodeHeaderText(record_.subject);
            if (sawFrom_)
                record_.from = mime::DecodeHeaderText(record_.from);
        }
    }

private:
    // Subject and From keep their folding for the MIME decoder, which
    // unfolds them as RFC 5322 says; otherwise the blanks that start a
    // continuation line go.
    void AppendFolded(std::string& value, std::string_view line) const
    {
        if (decoding_ == HeaderDecoding::Mime)
            value.append("\n").append(line);
        else
            value.append(text::TrimLeadingWhiteSpace(line));
    }

    void TakeContinuation(std::string_view line)
    {
        const std::string_view more = text::TrimLeadingWhiteSpace(line);
        switch (current_) {
        case Header::Subject:
            AppendFolded(record_.subject, line);
            break;
        case Header::InReplyTo:
            rawInReplyTo_ += more;
            break;
        case Header::References:
            rawReferences_ += more;
            break;
        case Header::From:
            AppendFolded(record_.from, line);
            break;
        case Header::None:
        case Header::MessageId:
        case Header::Date:
            break;
        }
    }

    void TakeHeaderLine(std::string_view line)
    {
        current_ = HeaderOf(line);
        switch (current_) {
        case Header::MessageId:
            // Taken from this line alone; an id on a continuation line is lost.
            record_.messageId = std::string(AngleId(line));
            current_ = Header::None;
            break;
        case Header::InReplyTo:
            rawInReplyTo_ = std::string(mail_text::HeaderValue(line));
            record_.noReplyHeaders = 0;
            break;
        case Header::References:
            rawReferences_ = std::string(mail_text::HeaderValue(line));
            record_.noReplyHeaders = 0;
            break;
        case Header::Subject:
            record_.subject = std::string(mail_text::HeaderValue(line));
            sawSubject_ = true;
            break;
        case Header::Date:
            record_.date = ParseDateLine(line);
            current_ = Header::None;
            break;
        case Header::From:
            record_.from = std::string(mail_text::HeaderValue(line));
            sawFrom_ = true;
            break;
        case Header::None:
            break;
        }
    }

    MailRecord& record_;
    const HeaderDecoding decoding_;
    bool sawSubject_ = false;
    bool sawFrom_ = false;
    Header current_ = Header::None;
    std::string rawInReplyTo_;
    std::string rawReferences_;
};

}  // namespace

bool ParseMailFile(MailRecord& record, std::string_view path, std::string_view fileName, platform::FileError& error,
                   HeaderDecoding decoding)
{
    auto reader = platform::TextReader::Open(path, error);
    if (!reader)
        return false;
    record.fileName = std::string(fileName);
    HeaderParser parser(record, decoding);
    std::string line;
    // A read error ends the header section like the end of the file: the
    // record keeps what was read.
    while (reader->ReadLine(line) && parser.TakeLine(line)) {
    }
    parser.Finish();
    return true;
}

bool ParseMailFile(MailRecord& record, std::string_view path, std::string_view fileName, HeaderDecoding decoding)
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
        if (!parser.TakeLine(line))
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
