#pragma once
// A small capsule with a caption-sized text, as beside a required permission.

#include <QColor>
#include <QString>
#include <QWidget>

namespace pennial {

class PNBadge : public QWidget {
public:
    PNBadge(const QString& text, const QColor& foreground, const QColor& background,
            QWidget* parent = nullptr);

    const QString& text() const { return text_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor foreground_;
    QColor background_;
};

} // namespace pennial
