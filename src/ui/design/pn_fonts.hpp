#pragma once
// The brand font families ship inside the program; registering them makes "Sora" and "Inter"
// known to every font the views build.

#include <QList>
#include <QString>

namespace pennial {

struct PNFonts {
    PNFonts() = delete;

    // Registers every shipped file of "Sora", then of "Inter", for the process. Call once at
    // start-up, once the QApplication exists and before the first window. A family whose files are missing or unreadable is
    // passed over silently; its tokens then fall back to the ordinary sans-serif face.
    static void registerCustomFonts();
};

namespace detail {

// Registers the font files in `<directory>/<family>/` for each family, in order; the ids of the
// files that loaded, in the same order.
QList<int> registerFontFamilies(const QString& directory, const QStringList& families);

} // namespace detail

} // namespace pennial
