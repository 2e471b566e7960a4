#pragma once

// The colours of the modern pages: the project's colours as CSS, and their
// counterparts for a dark colour scheme that keep text as readable against
// its background as the project has it (and never below the 4.5:1 that
// normal text needs).

#include <cstdint>
#include <string>

namespace postloom::modern {

struct Rgb {
    double r = 0, g = 0, b = 0;  // 0..1, sRGB
};

// A colour as the settings store it (red in the lowest byte).
Rgb RgbOfStored(std::uint32_t stored);
// "#RRGGBB".
std::string CssColour(const Rgb& colour);

// The WCAG contrast ratio of two colours (1 to 21).
double ContrastRatio(const Rgb& a, const Rgb& b);

// a moved towards b by the share t (0..1).
Rgb Mix(const Rgb& a, const Rgb& b, double t);

// The colour made lighter or darker, whichever leads away from background,
// until it reaches the contrast ratio wanted (or black or white).
Rgb Readable(const Rgb& colour, const Rgb& background, double ratio);

// The background of the dark scheme for a page whose light background is
// this: a light background turns dark with its hue kept; a dark one stays.
Rgb DarkBackground(const Rgb& light);
// The dark scheme's counterpart of a colour shown on lightBackground, to
// be shown on darkBackground, with at least the contrast it had (4.5 at
// the least, 7 at the most asked for).
Rgb DarkForeground(const Rgb& colour, const Rgb& lightBackground, const Rgb& darkBackground);

}  // namespace postloom::modern
