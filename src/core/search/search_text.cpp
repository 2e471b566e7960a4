#include "core/search/search_text.h"

#include "core/text/unicode_fold.h"
#include "core/text/utf32.h"

#include <algorithm>
#include <array>
#include <span>

namespace postloom::search {

namespace {

// Blocks whose every character (assigned in Unicode 17) normalises and
// lowercases the same from ICU 72 (Unicode 15) on; checked over all of them.
constexpr std::array kFoldableBlocks{
    CodeRange{0x0000, 0x052F},   // Latin, IPA, Greek, Cyrillic
    CodeRange{0x1E00, 0x1FFF},   // Latin Extended Additional, Greek Extended
    CodeRange{0x2000, 0x2BFF},   // punctuation, symbols, enclosed alphanumerics
    CodeRange{0x2E80, 0x2FDF},   // CJK and Kangxi radicals
    CodeRange{0x3000, 0x30FF},   // CJK punctuation, hiragana, katakana
    CodeRange{0x3190, 0x319F},   // kanbun
    CodeRange{0x31F0, 0x4DBF},   // katakana extension, enclosed CJK, compatibility, Extension A
    CodeRange{0x4E00, 0x9FFF},   // CJK unified ideographs
    CodeRange{0xF900, 0xFAFF},   // CJK compatibility ideographs
    CodeRange{0xFE30, 0xFE6F},   // CJK compatibility forms, small forms
    CodeRange{0xFF00, 0xFFEF},   // half-width and full-width forms
};

constexpr std::array kIdeographic{
    CodeRange{0x3005, 0x3007},   // 々 〆 〇
    CodeRange{0x3041, 0x3096},   // hiragana
    CodeRange{0x309D, 0x309F},
    CodeRange{0x30A1, 0x30FA},   // katakana
    CodeRange{0x30FC, 0x30FF},
    CodeRange{0x31F0, 0x31FF},
    CodeRange{0x3400, 0x4DBF},
    CodeRange{0x4E00, 0x9FFF},
    CodeRange{0xF900, 0xFAFF},
    CodeRange{0x20000, 0x3FFFF},
};

constexpr std::array kKana{
    CodeRange{0x3041, 0x3096},
    CodeRange{0x309D, 0x309F},
    CodeRange{0x30A1, 0x30FA},
    CodeRange{0x30FC, 0x30FF},
    CodeRange{0x31F0, 0x31FF},
};

constexpr std::array kWord{
    CodeRange{'0', '9'},
    CodeRange{'A', 'Z'},
    CodeRange{'a', 'z'},
    CodeRange{0x00C0, 0x00D6},
    CodeRange{0x00D8, 0x00F6},
    CodeRange{0x00F8, 0x02AF},
    CodeRange{0x0300, 0x036F},
    CodeRange{0x0370, 0x03FF},
    CodeRange{0x0400, 0x052F},
    CodeRange{0x1E00, 0x1FFF},
};

constexpr std::array kWhite{
    CodeRange{0x0009, 0x000D},
    CodeRange{0x0020, 0x0020},
    CodeRange{0x0085, 0x0085},
    CodeRange{0x00A0, 0x00A0},
    CodeRange{0x1680, 0x1680},
    CodeRange{0x2000, 0x200A},
    CodeRange{0x2028, 0x2029},
    CodeRange{0x202F, 0x202F},
    CodeRange{0x205F, 0x205F},
    CodeRange{0x3000, 0x3000},
};

constexpr std::array kZeroWidth{
    CodeRange{0x200B, 0x200D},
    CodeRange{0x2060, 0x2060},
    CodeRange{0xFEFF, 0xFEFF},
};

struct Variant {
    char32_t from;
    char32_t to;
};
constexpr std::array kVariants{
    Variant{0x223C, U'~'}, Variant{0x301C, U'~'},
    Variant{0x2010, U'-'}, Variant{0x2011, U'-'}, Variant{0x2012, U'-'},
    Variant{0x2013, U'-'}, Variant{0x2212, U'-'},
};
constexpr std::array<char32_t, 4> kLongVowelLike{0x2014, 0x2015, 0x2500, 0x2501};
constexpr char32_t kLongVowelMark = 0x30FC;
constexpr char32_t kFinalSigma = 0x03C2;
constexpr char32_t kSigma = 0x03C3;

bool InRanges(std::span<const CodeRange> ranges, char32_t c)
{
    return std::any_of(ranges.begin(), ranges.end(),
                       [c](const CodeRange& r) { return c >= r.first && c <= r.last; });
}

// The spacing voiced sound marks would come out of NFKC as a space and a
// combining mark that no longer joins the kana before it; as combining
// marks from the start they compose with it.
constexpr std::array kSpacingSoundMarks{Variant{0x309B, 0x3099}, Variant{0x309C, 0x309A}};

void AppendFolded(std::u32string_view run, std::u32string& out)
{
    std::u32string marked(run);
    for (char32_t& c : marked) {
        for (const Variant& v : kSpacingSoundMarks) {
            c = c == v.from ? v.to : c;
        }
    }
    for (char32_t c : text::Nfkc(marked)) {
        c = text::SimpleLowercase(c);
        out.push_back(c == kFinalSigma ? kSigma : c);
    }
}

// Steps 1 and 2.
std::u32string NormaliseRuns(std::u32string_view text)
{
    std::u32string kept;
    kept.reserve(text.size());
    for (const char32_t c : text) {
        if (!InRanges(kZeroWidth, c)) {
            kept.push_back(c);
        }
    }
    std::u32string out;
    out.reserve(kept.size());
    std::size_t i = 0;
    while (i < kept.size()) {
        const bool foldable = IsFoldable(kept[i]);
        std::size_t end = i + 1;
        while (end < kept.size() && IsFoldable(kept[end]) == foldable) {
            ++end;
        }
        const std::u32string_view run(kept.data() + i, end - i);
        if (foldable) {
            AppendFolded(run, out);
        } else {
            out.append(run);
        }
        i = end;
    }
    return out;
}

// Steps 3 and 4.
std::u32string FoldVariantsAndSpace(std::u32string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    bool spacePending = false;
    for (char32_t c : text) {
        if (InRanges(kWhite, c)) {
            spacePending = !out.empty();
            continue;
        }
        if (const auto* v = std::find_if(kVariants.begin(), kVariants.end(),
                                         [c](const Variant& x) { return x.from == c; });
            v != kVariants.end()) {
            c = v->to;
        }
        const bool afterKana = !spacePending && !out.empty() && InRanges(kKana, out.back());
        if (afterKana && std::find(kLongVowelLike.begin(), kLongVowelLike.end(), c) != kLongVowelLike.end()) {
            c = kLongVowelMark;
        }
        if (spacePending && !IsIdeographic(out.back()) && !IsIdeographic(c)) {
            out.push_back(U' ');
        }
        spacePending = false;
        out.push_back(c);
    }
    return out;
}

}  // namespace

bool IsFoldable(char32_t c) { return InRanges(kFoldableBlocks, c); }
bool IsIdeographic(char32_t c) { return InRanges(kIdeographic, c); }
bool IsWordCharacter(char32_t c) { return InRanges(kWord, c); }

std::u32string FoldForSearch(std::u32string_view text)
{
    return FoldVariantsAndSpace(NormaliseRuns(text));
}

std::string FoldForSearch(std::string_view utf8)
{
    return text::Utf32ToUtf8(FoldForSearch(text::Utf8ToUtf32(utf8)));
}

}  // namespace postloom::search
