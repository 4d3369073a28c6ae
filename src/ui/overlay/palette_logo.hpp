#pragma once
// The wordmark above the palette's rows: drawn in the card's foreground colour, faint.

#include <QImage>
#include <QWidget>

namespace pennial {

class PaletteLogo : public QWidget {
public:
    static constexpr int logoHeight = 10;

    explicit PaletteLogo(QWidget* parent);

    // The artwork, white on transparent, built once for the run; a plain application glyph
    // when the artwork cannot be read.
    static const QImage& pennialLogo();
    static bool isArtworkReadable();

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace pennial
