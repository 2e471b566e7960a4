#include "core/html/address_hiding.h"

#include "core/text/cp932.h"

#include <array>

namespace postloom {

namespace {

constexpr std::size_t kLocalPartLimit = 64;
constexpr std::size_t kDomainLimit = 255;

// "…" and "(アドレス非表示)" in each encoding.
constexpr std::string_view kEllipsisCp932 = "\x81\x63";
constexpr std::string_view kEllipsisUtf8 = "\xe2\x80\xa6";
constexpr std::string_view kPlaceholderCp932 = "(\x83\x41\x83\x68\x83\x8c\x83\x58\x94\xf1\x95\x5c\x8e\xa6)";
constexpr std::string_view kPlaceholderUtf8 =
    "(\xe3\x82\xa2\xe3\x83\x89\xe3\x83\xac\xe3\x82\xb9\xe9\x9d\x9e\xe8\xa1\xa8\xe7\xa4\xba)";

constexpr bool IsAsciiAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The characters of a local part, looked up per byte: every text passes
// through here character by character.
constexpr std::array<bool, 256> kLocalPartChars = [] {
    std::array<bool, 256> set{};
    for (int c = 0; c < 128; ++c)
        set[static_cast<std::size_t>(c)] = IsAsciiAlnum(static_cast<char>(c));
    for (const char c : std::string_view("!#$%&'*+-/=?^_`{|}~."))
        set[static_cast<unsigned char>(c)] = true;
    return set;
}();

bool IsLocalPartChar(char c)
{
    return kLocalPartChars[static_cast<unsigned char>(c)];
}

bool IsDomainChar(char c)
{
    return IsAsciiAlnum(c) || c == '-' || c == '.';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// At least two labels, none empty, the first starting with a letter or a
// digit, the last with a letter (so "100@2.5" is no address).
bool IsDomain(std::string_view domain)
{
    const std::size_t lastDot = domain.rfind('.');
    if (domain.empty() || !IsAsciiAlnum(domain.front()) || lastDot == std::string_view::npos ||
        lastDot + 1 == domain.size())
        return false;
    const char top = domain[lastDot + 1];
    const bool topIsLetter = (top >= 'a' && top <= 'z') || (top >= 'A' && top <= 'Z');
    return topIsLetter && domain.find("..") == std::string_view::npos;
}

bool HasText(std::string_view text)
{
    for (const char c : text) {
        if (!IsBlank(c))
            return true;
    }
    return false;
}

// A name is left when a letter, a digit or any non-ASCII character is.
bool NamesSomeone(std::string_view text)
{
    for (const char c : text) {
        if (IsAsciiAlnum(c) || static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

AddressHider::AddressHider(AddressHiding hiding, TextEncoding encoding, Place place)
    : hiding_(hiding), encoding_(encoding), place_(place)
{
}

void AddressHider::Feed(std::string_view text, std::string& out)
{
    if (hiding_ == AddressHiding::Shown) {
        out.append(text);
        return;
    }
    std::size_t i = 0;
    if (!lead_.empty()) {
        if (text.empty())
            return;
        const std::string character = lead_ + text[0];
        lead_.clear();
        Take(character, out);
        i = 1;
    }
    // Characters that can neither start nor continue an address pass in
    // runs while nothing is held.
    std::size_t passFrom = i;
    const auto passRun = [&] {
        out.append(text.substr(passFrom, i - passFrom));
    };
    while (i < text.size()) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        std::size_t length = 1;
        if (encoding_ == TextEncoding::Cp932 && text::IsLeadByte(byte)) {
            if (i + 1 == text.size()) {
                passRun();
                lead_.assign(1, c);
                return;
            }
            length = 2;
        }
        const bool passes = length == 2 || byte >= 0x80 ||
                            (c != '\n' && c != '@' && c != '<' && !IsBlank(c) && !IsLocalPartChar(c));
        if (passes && held_.empty()) {
            lineHasText_ = true;
            runTooLong_ = false;
            i += length;
            continue;
        }
        passRun();
        // A run of local-part characters that fits is held in one step.
        if (IsLocalPartChar(c) && atPos_ == std::string::npos && !runTooLong_) {
            std::size_t end = i + 1;
            while (end < text.size() && IsLocalPartChar(text[end]))
                ++end;
            if (held_.size() - localStart_ + (end - i) <= kLocalPartLimit) {
                held_.append(text.substr(i, end - i));
                i = end;
                passFrom = i;
                continue;
            }
        }
        Take(text.substr(i, length), out);
        i += length;
        passFrom = i;
    }
    passRun();
}

void AddressHider::Finish(std::string& out)
{
    if (hiding_ == AddressHiding::Shown)
        return;
    if (!lead_.empty()) {
        // A lead byte at the very end counts as one character.
        const std::string character = lead_;
        lead_.clear();
        Take(character, out);
    }
    if (atPos_ != std::string::npos)
        CloseAddress({}, false, out);
    FlushPlain(out);
}

void AddressHider::Take(std::string_view character, std::string& out)
{
    const bool single = character.size() == 1;
    const char c = character.front();
    if (atPos_ != std::string::npos) {
        const bool domainChar = single && IsDomainChar(c);
        if (domainChar && held_.size() - atPos_ - 1 < kDomainLimit) {
            held_ += c;
            return;
        }
        // A domain that runs on beyond the limit is no domain at all.
        if (CloseAddress(character, domainChar, out))
            return;
    }
    if (single && IsLocalPartChar(c)) {
        if (runTooLong_) {
            WritePlain(character, out);
        } else if (held_.size() - localStart_ >= kLocalPartLimit) {
            FlushPlain(out);
            WritePlain(character, out);
            runTooLong_ = true;
        } else {
            held_ += c;
        }
        return;
    }
    if (single && c == '@' && !runTooLong_) {
        // The local part does not start with a dot: leading dots stay text.
        std::size_t start = localStart_;
        while (start < held_.size() && held_[start] == '.')
            ++start;
        if (start < held_.size()) {
            if (start != localStart_) {
                WritePlain(std::string_view(held_).substr(0, start), out);
                held_.erase(0, start);
                localStart_ = 0;
                heldBlank_ = false;
                heldOpen_ = false;
            }
            atPos_ = held_.size();
            held_ += c;
            return;
        }
    }
    const bool onlyBlankHeld = heldBlank_ && held_.size() == 1;
    if (single && c == '<' && onlyBlankHeld) {
        held_ += c;
        heldOpen_ = true;
        localStart_ = held_.size();
        runTooLong_ = false;
        return;
    }
    FlushPlain(out);
    runTooLong_ = false;
    if (single && (c == '<' || IsBlank(c))) {
        held_ = c;
        heldBlank_ = c != '<';
        heldOpen_ = c == '<';
        localStart_ = 1;
        return;
    }
    out.append(character);
    lineHasText_ = !(single && c == '\n');
}

bool AddressHider::CloseAddress(std::string_view next, bool tooLong, std::string& out)
{
    const std::string_view held(held_);
    std::string_view domain = held.substr(atPos_ + 1);
    std::size_t end = domain.size();
    while (end > 0 && (domain[end - 1] == '.' || domain[end - 1] == '-'))
        --end;
    const std::string after(domain.substr(end));
    domain = domain.substr(0, end);
    if (tooLong || !IsDomain(domain)) {
        // Not an address: the text up to the "@" stands, and what followed
        // it may still start one.
        const std::string rest(held.substr(atPos_ + 1));
        WritePlain(held.substr(0, atPos_ + 1), out);
        ClearHeld();
        Refeed(rest, out);
        return false;
    }
    const bool closed = heldOpen_ && after.empty() && next == ">";
    WriteAddress(held.substr(localStart_, atPos_ - localStart_), closed, out);
    ClearHeld();
    Refeed(after, out);
    return closed;
}

void AddressHider::WriteAddress(std::string_view local, bool closed, std::string& out)
{
    const bool utf8 = encoding_ == TextEncoding::Utf8;
    const std::string_view prefix = std::string_view(held_).substr(0, localStart_);
    const std::string_view blank = heldBlank_ ? prefix.substr(0, 1) : std::string_view();
    if (hiding_ == AddressHiding::Masked) {
        out.append(prefix).append(local).append("@").append(utf8 ? kEllipsisUtf8 : kEllipsisCp932);
        if (closed)
            out += '>';
    } else {
        removedAny_ = true;
        if (place_ == Place::Sender) {
            if (!closed)
                out.append(prefix);
        } else if (!closed) {
            out.append(prefix).append(utf8 ? kPlaceholderUtf8 : kPlaceholderCp932);
        } else if (!lineHasText_) {
            out.append(blank).append(utf8 ? kPlaceholderUtf8 : kPlaceholderCp932);
        }
    }
    lineHasText_ = true;
}

void AddressHider::FlushPlain(std::string& out)
{
    WritePlain(held_, out);
    ClearHeld();
}

void AddressHider::WritePlain(std::string_view text, std::string& out)
{
    out.append(text);
    lineHasText_ = lineHasText_ || HasText(text);
}

void AddressHider::Refeed(std::string_view text, std::string& out)
{
    for (const char c : text)
        Take(std::string_view(&c, 1), out);
}

void AddressHider::ClearHeld()
{
    held_.clear();
    localStart_ = 0;
    atPos_ = std::string::npos;
    heldBlank_ = false;
    heldOpen_ = false;
}

std::string HideAddressesInText(std::string_view text, AddressHiding hiding, TextEncoding encoding)
{
    if (hiding == AddressHiding::Shown)
        return std::string(text);
    AddressHider hider(hiding, encoding);
    std::string out;
    out.reserve(text.size());
    hider.Feed(text, out);
    hider.Finish(out);
    return out;
}

std::string HideSenderAddresses(std::string_view sender, AddressHiding hiding, TextEncoding encoding)
{
    if (hiding == AddressHiding::Shown)
        return std::string(sender);
    AddressHider hider(hiding, encoding, AddressHider::Place::Sender);
    std::string out;
    hider.Feed(sender, out);
    hider.Finish(out);
    if (!hider.removedAny())
        return out;
    if (!NamesSomeone(out))
        return std::string(encoding == TextEncoding::Utf8 ? kPlaceholderUtf8 : kPlaceholderCp932);
    return std::string(TrimBlanks(out));
}

}  // namespace postloom
