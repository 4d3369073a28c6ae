#include "ui/design/pn_scroll_indicator.hpp"

#include <QAbstractScrollArea>
#include <QScrollBar>

namespace pennial {

void PNScrollIndicator::apply(QAbstractScrollArea& area, int endInset) {
    const QString style = QStringLiteral(R"(
QScrollBar:vertical { background: transparent; width: 6px; margin: %1px 0 %1px 0; }
QScrollBar:horizontal { background: transparent; height: 6px; margin: 0 %1px 0 %1px; }
QScrollBar::handle:vertical { background: rgba(255, 255, 255, 90); border-radius: 2px;
                              min-height: 12px; margin: 0 1px 0 1px; }
QScrollBar::handle:horizontal { background: rgba(255, 255, 255, 90); border-radius: 2px;
                                min-width: 12px; margin: 1px 0 1px 0; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }
)")
                              .arg(endInset);
    area.verticalScrollBar()->setStyleSheet(style);
    area.horizontalScrollBar()->setStyleSheet(style);
}

} // namespace pennial
