#pragma once

// Reading the header section of a mail file into a MailRecord, and the
// subject as it is shown.

#include "core/mail/mail_record.h"
#include "core/platform/files.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace postloom {

// How Subject and From are taken. Raw: continuation lines are appended
// without their leading blanks and the bytes stay as they stand. Mime:
// unfolded and decoded as mail programs show them (encoded words, UTF-8),
// in CP932.
enum class HeaderDecoding { Raw, Mime };

// What reading a mail file found.
enum class MailFileRead {
    Mail,        // the record holds the file's header section
    NotMail,     // the file's first bytes hold no header line
    Unopenable,  // the record is untouched
};

// Opens the file at path (CP932) in text mode and fills record from its
// header section; record.fileName becomes fileName (the bare name). Of every
// value only what a stored record keeps is held, however long a line is.
// Unopenable when the file cannot be opened (a directory or a special file
// counts as unopenable), and error tells why. NotMail when a NUL stands
// among the file's first 4 KB or no "Name:" line (a name of printable ASCII
// characters without blanks) comes before its first empty line.
MailFileRead ParseMailFile(MailRecord& record, std::string_view path, std::string_view fileName,
                           platform::FileError& error, HeaderDecoding decoding = HeaderDecoding::Raw);
MailFileRead ParseMailFile(MailRecord& record, std::string_view path, std::string_view fileName,
                           HeaderDecoding decoding = HeaderDecoding::Raw);

// The same on a header section already in memory (text-mode lines, LF
// separated, as the file reader delivers them), each line taken whole.
void ParseMailHeader(MailRecord& record, std::string_view headerText, HeaderDecoding decoding = HeaderDecoding::Raw);

// Parses the value of a Date header line (the whole line, "Date:" included).
std::int32_t ParseDateLine(std::string_view line);

// A stored date as every page and window shows it: nine hours later,
// broken down as local time; nullopt when that falls before 1970 or cannot
// be broken down.
std::optional<std::tm> ShownTime(std::int32_t date);

// The subject as every part of the program shows it: with cutMLTitle on and
// a "[" in the subject, the text after the first "]" without leading white
// space.
std::string DisplaySubject(const MailRecord& record, std::int32_t cutMLTitle);

}  // namespace postloom
