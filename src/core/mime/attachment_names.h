#pragma once

// File names for the attachments of one mail page, in the folder beside the
// page: safe to create there, unique, and telling what each file is, and
// never a name under which a web server or a browser would run the file.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace postloom::mime {

struct NamedPart {
    std::string name;         // as the part gives it (UTF-8), may be empty
    std::string contentType;  // "type/subtype", lower case
};

// The extensions (lower case, without the dot) that a saved attachment may
// keep: types that servers and browsers only hand out or show (text, PDF,
// images other than SVG, audio, video, archives, office documents, patches,
// mail and signatures). Every other extension is treated as one that runs
// (HTML, SVG, XML, scripts, server pages, ...), and so is a name without one.
std::span<const std::string_view> PassiveExtensions();

// One file name per part, in order. '/', '\\', NUL and control characters
// become '_', leading dots go, an empty result becomes "part-N" (N counting
// parts from 1) with an extension from the type (".eml" for message/rfc822,
// ".txt" for text and for HTML and XML text, ".png", ...; ".bin" when the
// type tells none or none that is passive). The last extension stays when it
// is passive (ASCII case ignored); otherwise it becomes part of the name and
// the file gets ".txt" (a text/* part) or ".bin": "evil.html" becomes
// "evil_html.txt". Every other dot becomes '_' ("x.php.txt" gives
// "x_php.txt"), so a server that acts on any extension in a name sees only
// the last. A name already given gets "-2", "-3", ... before its extension.
// Names are cut to fit a file system's 255-byte limit without splitting a
// UTF-8 character. Names come back in UTF-8 holding only characters CP932 has
// (others become "〓"), so text::Utf8ToCp932(name) gives the CP932 path form
// without loss.
std::vector<std::string> AttachmentFileNames(const std::vector<NamedPart>& parts);

// One name per part to show as the text of its link: the name the sender
// gave, made safe and unique by the same rules but with its extensions as
// they stand ("evil.html", "evil-2.html"); a part without a name shows its
// file name. Equal to the file name whenever the name needs no change of
// extension.
std::vector<std::string> AttachmentShownNames(const std::vector<NamedPart>& parts);

}  // namespace postloom::mime
