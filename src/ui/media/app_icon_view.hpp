#pragma once
// The application's own icon, drawn stretched to a square of the given side. Without an icon the
// view draws nothing and takes no room.

#include <QStringList>
#include <QWidget>
#include <memory>

class QSvgRenderer;

namespace pennial {

class AppIconView : public QWidget {
public:
    using Image = std::shared_ptr<QSvgRenderer>;

    // Where the icon is looked for, in order: the artwork built into the program.
    static QStringList defaultSources();

    // The first source that loads; a source that exists but does not load is passed over. Null
    // when none loads.
    static Image loadIcon(const QStringList& sources = defaultSources());

    // The icon drawn at side x side device pixels; a null image when there is no icon.
    static QImage render(int side, const QStringList& sources = defaultSources());

    explicit AppIconView(qreal size, QWidget* parent = nullptr,
                         const QStringList& sources = defaultSources());
    ~AppIconView() override;

    qreal size() const { return size_; }
    void setSize(qreal size);
    bool hasIcon() const { return image_ != nullptr; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applySize();

    qreal size_;
    Image image_;
};

} // namespace pennial
