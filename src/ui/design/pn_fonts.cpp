#include "ui/design/pn_fonts.hpp"

#include <QDir>
#include <QFontDatabase>

namespace pennial {

namespace {

// Where the build embeds the font files (see cmake/PennialFonts.cmake).
const QString embeddedFontsDirectory = QStringLiteral(":/fonts");

} // namespace

QList<int> detail::registerFontFamilies(const QString& directory, const QStringList& families) {
    QList<int> ids;
    for (const QString& family : families) {
        const QDir folder(directory + QLatin1Char('/') + family);
        const QStringList files = folder.entryList(
            {QStringLiteral("*.otf"), QStringLiteral("*.ttf")}, QDir::Files, QDir::Name);
        for (const QString& file : files) {
            const int id = QFontDatabase::addApplicationFont(folder.filePath(file));
            if (id >= 0)
                ids.append(id);
        }
    }
    return ids;
}

void PNFonts::registerCustomFonts() {
    detail::registerFontFamilies(embeddedFontsDirectory,
                                 {QStringLiteral("Sora"), QStringLiteral("Inter")});
}

} // namespace pennial
