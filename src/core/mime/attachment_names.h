#pragma once

// File names for the attachments of one mail page, in the folder beside the
// page: safe to create there, unique, and telling what each file is.

#include <string>
#include <string_view>
#include <vector>

namespace postloom::mime {

struct NamedPart {
    std::string name;         // as the part gives it (UTF-8), may be empty
    std::string contentType;  // "type/subtype", lower case
};

// One name per part, in order. '/', '\\', NUL and control characters become
// '_', leading dots go, an empty result becomes "part-N" (N counting parts
// from 1) with an extension from the type (".eml" for message/rfc822,
// ".txt", ".html", ".png", ...; ".bin" when the type tells none); a name
// already given gets "-2", "-3", ... before its extension. Names are cut to
// fit a file system's 255-byte limit without splitting a UTF-8 character.
// Names come back in UTF-8 holding only characters CP932 has (others become
// "〓"), so text::Utf8ToCp932(name) gives the CP932 path form without loss.
std::vector<std::string> AttachmentFileNames(const std::vector<NamedPart>& parts);

}  // namespace postloom::mime
