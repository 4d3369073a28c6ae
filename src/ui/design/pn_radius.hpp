#pragma once
// Corner radii shared by every view; `large` is also the corner of every card window.

#include <QtGlobal>

namespace pennial {

struct PNRadius {
    PNRadius() = delete;

    static constexpr qreal small = 6;
    static constexpr qreal medium = 10;
    static constexpr qreal large = 14;
};

} // namespace pennial
