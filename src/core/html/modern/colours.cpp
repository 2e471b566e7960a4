#include "core/html/modern/colours.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace postloom::modern {

namespace {

struct Hsl {
    double h = 0, s = 0, l = 0;
};

double Linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const Rgb& c)
{
    return 0.2126 * Linear(c.r) + 0.7152 * Linear(c.g) + 0.0722 * Linear(c.b);
}

Hsl ToHsl(const Rgb& c)
{
    const double high = std::max({c.r, c.g, c.b});
    const double low = std::min({c.r, c.g, c.b});
    Hsl hsl;
    hsl.l = (high + low) / 2;
    const double span = high - low;
    if (span <= 0)
        return hsl;
    hsl.s = hsl.l > 0.5 ? span / (2 - high - low) : span / (high + low);
    if (high == c.r)
        hsl.h = (c.g - c.b) / span + (c.g < c.b ? 6 : 0);
    else if (high == c.g)
        hsl.h = (c.b - c.r) / span + 2;
    else
        hsl.h = (c.r - c.g) / span + 4;
    hsl.h /= 6;
    return hsl;
}

double HueChannel(double p, double q, double t)
{
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    if (t < 1.0 / 6)
        return p + (q - p) * 6 * t;
    if (t < 1.0 / 2)
        return q;
    if (t < 2.0 / 3)
        return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

Rgb ToRgb(const Hsl& hsl)
{
    if (hsl.s <= 0)
        return {hsl.l, hsl.l, hsl.l};
    const double q = hsl.l < 0.5 ? hsl.l * (1 + hsl.s) : hsl.l + hsl.s - hsl.l * hsl.s;
    const double p = 2 * hsl.l - q;
    return {HueChannel(p, q, hsl.h + 1.0 / 3), HueChannel(p, q, hsl.h), HueChannel(p, q, hsl.h - 1.0 / 3)};
}

// The colour as CSS will show it: each channel rounded to a byte.
Rgb Rounded(const Rgb& c)
{
    const auto round = [](double v) { return std::round(std::clamp(v, 0.0, 1.0) * 255) / 255; };
    return {round(c.r), round(c.g), round(c.b)};
}

}  // namespace

Rgb RgbOfStored(std::uint32_t stored)
{
    return {(stored & 0xFF) / 255.0, ((stored >> 8) & 0xFF) / 255.0, ((stored >> 16) & 0xFF) / 255.0};
}

std::string CssColour(const Rgb& colour)
{
    const Rgb c = Rounded(colour);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", static_cast<unsigned>(c.r * 255 + 0.5),
                  static_cast<unsigned>(c.g * 255 + 0.5), static_cast<unsigned>(c.b * 255 + 0.5));
    return buffer;
}

double ContrastRatio(const Rgb& a, const Rgb& b)
{
    const double la = Luminance(Rounded(a));
    const double lb = Luminance(Rounded(b));
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb Mix(const Rgb& a, const Rgb& b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Readable(const Rgb& colour, const Rgb& background, double ratio)
{
    const bool lighten = Luminance(background) < 0.18;
    Hsl hsl = ToHsl(colour);
    Rgb result = colour;
    while (ContrastRatio(result, background) < ratio) {
        if (lighten ? hsl.l >= 1 : hsl.l <= 0)
            break;
        hsl.l = std::clamp(hsl.l + (lighten ? 0.01 : -0.01), 0.0, 1.0);
        result = ToRgb(hsl);
    }
    return Rounded(result);
}

Rgb DarkBackground(const Rgb& light)
{
    Hsl hsl = ToHsl(light);
    if (hsl.l <= 0.5)
        return light;
    // Not quite black: pure black behind light text tires the eye.
    hsl.l = std::clamp(1 - hsl.l, 0.07, 0.12);
    return Rounded(ToRgb(hsl));
}

Rgb DarkForeground(const Rgb& colour, const Rgb& lightBackground, const Rgb& darkBackground)
{
    const double wanted = std::clamp(ContrastRatio(colour, lightBackground), 4.5, 7.0);
    // A project that is dark already keeps its colours.
    if (ContrastRatio(lightBackground, darkBackground) < 1.01)
        return Readable(colour, darkBackground, wanted);
    Hsl hsl = ToHsl(colour);
    hsl.l = 1 - hsl.l;
    return Readable(ToRgb(hsl), darkBackground, wanted);
}

}  // namespace postloom::modern
