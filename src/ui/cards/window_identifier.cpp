#include "ui/cards/window_identifier.hpp"

#include <QVariant>
#include <QWidget>

namespace pennial {

namespace {
constexpr char identifierProperty[] = "pennialWindowIdentifier";
}

void setWindowIdentifier(QWidget& window, const std::string& identifier) {
    window.setProperty(identifierProperty, QString::fromStdString(identifier));
}

std::optional<std::string> windowIdentifier(const QWidget& window) {
    const QVariant value = window.property(identifierProperty);
    if (!value.isValid())
        return std::nullopt;
    return value.toString().toStdString();
}

} // namespace pennial
