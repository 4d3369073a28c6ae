#include "platform/linux/qt/qt_clipboard.hpp"

#include "base/log.hpp"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <memory>

namespace pennial {

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
    std::vector<std::string> offered;
    for (const QString& format : data->formats())
        offered.push_back(format.toStdString());
    ClipboardItem item;
    for (const auto& type : typesWorthKeeping(offered)) {
        // A deep copy: the owner's data may change or vanish once the clipboard is ours.
        const QByteArray bytes = data->data(QString::fromStdString(type));
        if (bytes.isEmpty())
            continue;
        item.representations.emplace_back(type, std::string(bytes.constData(), bytes.size()));
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
