#include "windows/about/about_texts.hpp"

namespace pennial::about {

QString version() {
    return QStringLiteral(PENNIAL_VERSION);
}

QString versionLine() {
    return QStringLiteral("Version ") + version();
}

QString websiteURL() {
    return QStringLiteral("https://") + QString::fromLatin1(websiteDomain);
}

QString supportMailURL() {
    return QStringLiteral("mailto:") + QString::fromLatin1(supportEmail);
}

QString footer(int year) {
    return QStringLiteral("© %1 %2").arg(QString::number(year), QString::fromLatin1(productName));
}

} // namespace pennial::about
