#pragma once
// A screen's one error line: the message in the caption font and the error colour, or nothing
// at all (no space taken) while there is no message.

#include <QLabel>
#include <optional>

namespace pennial {

class PNErrorText : public QLabel {
public:
    explicit PNErrorText(std::optional<QString> message = std::nullopt, QWidget* parent = nullptr);

    const std::optional<QString>& message() const { return message_; }
    // An empty message still shows an (empty) line.
    void setMessage(std::optional<QString> message);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    std::optional<QString> message_;
};

} // namespace pennial
