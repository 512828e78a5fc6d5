// toolkit/display/ui_types.h
// Value types of the drawing layer: kcPoint, kcColor and kcUIFormat.
#pragma once

#include <cstdint>

#include "toolkit/foundation/export.h"

// A point in the coordinate system a sketch is attached with.
class kcPoint {
public:
    constexpr kcPoint() = default;
    constexpr kcPoint(double x, double y) : x_(x), y_(y) {}

    constexpr double x() const { return x_; }
    constexpr double y() const { return y_; }
    constexpr bool operator==(const kcPoint&) const = default;

private:
    double x_ = 0.0;
    double y_ = 0.0;
};

// An 8-bit RGB colour with a few named colours.
class kcColor {
public:
    constexpr kcColor() = default;
    constexpr kcColor(unsigned char r, unsigned char g, unsigned char b) : r_(r), g_(g), b_(b) {}

    constexpr unsigned char r() const { return r_; }
    constexpr unsigned char g() const { return g_; }
    constexpr unsigned char b() const { return b_; }
    constexpr bool operator==(const kcColor&) const = default;

    static const kcColor black;
    static const kcColor white;
    static const kcColor red;
    static const kcColor green;
    static const kcColor blue;
    static const kcColor yellow;
    // The colours of a passed and a failed inspection.
    static const kcColor pass;
    static const kcColor fail;

private:
    unsigned char r_ = 0;
    unsigned char g_ = 0;
    unsigned char b_ = 0;
};

inline constexpr kcColor kcColor::black{0, 0, 0};
inline constexpr kcColor kcColor::white{255, 255, 255};
inline constexpr kcColor kcColor::red{255, 0, 0};
inline constexpr kcColor kcColor::green{0, 255, 0};
inline constexpr kcColor kcColor::blue{0, 0, 255};
inline constexpr kcColor kcColor::yellow{255, 255, 0};
inline constexpr kcColor kcColor::pass{0, 200, 0};
inline constexpr kcColor kcColor::fail{255, 0, 0};

// How text is drawn: a font size (-1: the display's default size) and a
// style word (0: plain).
class kcUIFormat {
public:
    static constexpr std::int32_t kDefaultFontSize = -1;
    static constexpr std::int32_t kPlainStyle = 0;

    constexpr kcUIFormat() = default;
    constexpr kcUIFormat(std::int32_t fontSize, std::int32_t style) : fontSize_(fontSize), style_(style) {}

    constexpr std::int32_t fontSize() const { return fontSize_; }
    constexpr std::int32_t style() const { return style_; }
    constexpr bool operator==(const kcUIFormat&) const = default;

private:
    std::int32_t fontSize_ = kDefaultFontSize;
    std::int32_t style_ = kPlainStyle;
};
