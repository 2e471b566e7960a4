#pragma once

// Mail addresses as the site shows them (HideAddresses): in full, masked to
// the part before the "@" ("taro@example.jp" becomes "taro@…"), or removed.
// Works on CP932 text (the classic pages) and on UTF-8 text (decoded MIME
// parts, the modern pages), one character at a time, so the trail byte of a
// double-byte character (0x40 "@", or a letter) is never read as part of an
// address.
//
// What counts as an address: a local part of 1 to 64 characters of
// letters, digits and !#$%&'*+-/=?^_`{|}~. (not starting with a dot), an
// "@", and a domain of at most 255 letters, digits, hyphens and dots with
// at least one dot, no empty label and a last label that starts with a
// letter ("a@b", "100@2.5" and "@" alone are left as they are; so are
// handles such as "@taro"). Dots and hyphens that end the
// domain belong to the text after it ("taro@example.jp." ends a sentence).
// A longer local part is not an address; its text is shown as it is.
//
// Removed, in a text (body lines, subjects): an address in angle brackets
// after other text on its line goes with its brackets and the blank before
// it ("山田 <taro@example.jp> wrote:" reads "山田 wrote:"); any other
// address becomes "(アドレス非表示)", without brackets.

#include "core/project/project_settings.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace postloom {

enum class TextEncoding { Cp932, Utf8 };

// Hides the addresses of a text given in pieces, which may be cut anywhere
// (inside a CP932 character, too): the output is the same however the text
// is cut. At most a few hundred bytes are held back between pieces.
class AddressHider {
public:
    // Text: body lines and subjects, as described above. Sender: a From
    // value or the name taken out of it, where Removed drops every address;
    // HideSenderAddresses finishes that form.
    enum class Place { Text, Sender };

    AddressHider(AddressHiding hiding, TextEncoding encoding, Place place = Place::Text);

    // Appends the hidden form of the next piece of text to out.
    void Feed(std::string_view text, std::string& out);
    // Appends what the end of the text completes.
    void Finish(std::string& out);

    // An address was dropped (Removed).
    bool removedAny() const { return removedAny_; }

private:
    void Take(std::string_view character, std::string& out);
    // The held text ends before next: writes the address it holds, or the
    // text as it stands when it is none (or its domain ran on too long).
    // True when next was the address's closing ">" and is written with it.
    bool CloseAddress(std::string_view next, bool tooLong, std::string& out);
    void WriteAddress(std::string_view local, bool closed, std::string& out);
    void FlushPlain(std::string& out);
    void WritePlain(std::string_view text, std::string& out);
    void Refeed(std::string_view text, std::string& out);
    void ClearHeld();

    AddressHiding hiding_;
    TextEncoding encoding_;
    Place place_;
    // Held back until it is known whether it belongs to an address: an
    // optional blank, an optional "<", a run of local-part characters, and
    // from atPos_ on the "@" and the domain read so far.
    std::string held_;
    std::size_t localStart_ = 0;
    std::size_t atPos_ = std::string::npos;
    bool heldBlank_ = false;
    bool heldOpen_ = false;
    // The run of local-part characters grew too long for an address: the
    // rest of it passes as it is.
    bool runTooLong_ = false;
    // Something other than blanks stands on the line before the held text.
    bool lineHasText_ = false;
    // A CP932 lead byte that ended the last piece.
    std::string lead_;
    bool removedAny_ = false;
};

// The text with its addresses hidden as hiding says (Shown: unchanged).
std::string HideAddressesInText(std::string_view text, AddressHiding hiding, TextEncoding encoding);

// A sender as a page shows it: a whole From value ("山田 <taro@example.jp>")
// or the name taken out of it. Masked: every address masked ("山田
// <taro@…>"). Removed: without its addresses and the blanks around what is
// left ("山田"), or "(アドレス非表示)" when no name is left.
std::string HideSenderAddresses(std::string_view sender, AddressHiding hiding, TextEncoding encoding);

}  // namespace postloom
