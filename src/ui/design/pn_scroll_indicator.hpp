#pragma once
// The design's scroll bars: a thin light bar without arrows or track over whatever lies beneath,
// on views that scroll only now and then.

class QAbstractScrollArea;

namespace pennial {

struct PNScrollIndicator {
    PNScrollIndicator() = delete;

    // Styles both of the area's bars; `endInset` keeps a bar clear of the area's ends (a rounded
    // corner, say).
    static void apply(QAbstractScrollArea& area, int endInset = 2);
};

} // namespace pennial
