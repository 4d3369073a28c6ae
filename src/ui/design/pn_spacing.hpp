#pragma once
// Gaps and paddings shared by every view, in device-independent pixels.

#include <QtGlobal>

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

} // namespace pennial
