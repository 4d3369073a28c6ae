#include "platform/linux/qt/qt_clipboard.hpp"

#include "base/log.hpp"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <QStringList>
#include <memory>

namespace pennial {

namespace {

// Targets every X11 selection owner answers about the selection itself, not its contents.
bool isMetaTarget(const QString& format) {
    return format == QLatin1String("TARGETS") || format == QLatin1String("MULTIPLE") ||
           format == QLatin1String("TIMESTAMP") || format == QLatin1String("SAVE_TARGETS");
}

bool isImage(const QString& format) {
    return format.startsWith(QLatin1String("image/")) ||
           format == QLatin1String("application/x-qt-image");
}

// An image owner offers the same picture converted to a dozen types; one is enough to restore it.
QString preferredImageType(const QStringList& formats) {
    if (formats.contains(QLatin1String("image/png")))
        return QStringLiteral("image/png");
    for (const QString& format : formats) {
        if (format.startsWith(QLatin1String("image/")))
            return format;
    }
    return {};
}

} // namespace

QtClipboard::QtClipboard() {
    changes_ = QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                                [this] { ++changeCount_; });
}

QtClipboard::~QtClipboard() {
    QObject::disconnect(changes_);
}

ClipboardSnapshot QtClipboard::snapshot() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data)
        return {};
    const QStringList formats = data->formats();
    const QString imageType = preferredImageType(formats);
    ClipboardItem item;
    for (const QString& format : formats) {
        if (isMetaTarget(format) || (isImage(format) && format != imageType))
            continue;
        // A deep copy: the owner's data may change or vanish once the clipboard is ours.
        const QByteArray bytes = data->data(format);
        if (bytes.isEmpty())
            continue;
        item.representations.emplace_back(format.toStdString(),
                                          std::string(bytes.constData(), bytes.size()));
    }
    if (item.representations.empty())
        return {};
    return {std::move(item)};
}

void QtClipboard::clear() {
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

void QtClipboard::setText(const std::string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
}

void QtClipboard::write(const ClipboardSnapshot& items) {
    if (items.empty() || items.front().representations.empty()) {
        clear();
        return;
    }
    // An X11 clipboard holds a single item: the first item's representations are what can be
    // offered. (Snapshots taken here never hold more than one.)
    auto data = std::make_unique<QMimeData>();
    for (const auto& [type, bytes] : items.front().representations)
        data->setData(QString::fromStdString(type),
                      QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    QGuiApplication::clipboard()->setMimeData(data.release(), QClipboard::Clipboard);
}

std::unique_ptr<Clipboard> makeClipboard() {
    logLine("🔵 [Platform] Using the Qt clipboard");
    return std::make_unique<QtClipboard>();
}

} // namespace pennial
