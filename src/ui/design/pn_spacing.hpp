#pragma once
// Gaps and paddings shared by every view, in device-independent pixels.

#include <QtGlobal>
#include <cmath>

namespace pennial {

struct PNSpacing {
    PNSpacing() = delete;

    static constexpr qreal xxs = 2;
    static constexpr qreal xs = 4;
    static constexpr qreal sm = 8;
    static constexpr qreal md = 12;
    static constexpr qreal lg = 16;
    static constexpr qreal xl = 24;
    static constexpr qreal xxl = 32;
};

// A length in device-independent pixels as the whole pixels a widget's geometry takes.
inline int roundToPixels(double value) {
    return static_cast<int>(std::lround(value));
}

} // namespace pennial
