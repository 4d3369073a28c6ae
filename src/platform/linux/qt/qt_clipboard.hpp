#pragma once
// The system clipboard through Qt: every format the owner offers, saved and put back, and a count
// of its changes. GUI thread only, after the application object exists.

#include "platform/clipboard.hpp"

#include <QMetaObject>
#include <memory>

namespace pennial {

class QtClipboard : public Clipboard {
public:
    QtClipboard();
    ~QtClipboard() override;
    QtClipboard(const QtClipboard&) = delete;
    QtClipboard& operator=(const QtClipboard&) = delete;

    ClipboardSnapshot snapshot() override;
    void clear() override;
    void setText(const std::string& text) override;
    void write(const ClipboardSnapshot& items) override;
    std::int64_t changeCount() override { return changeCount_; }

private:
    std::int64_t changeCount_ = 0;
    QMetaObject::Connection changes_;
};

// Logs the implementation it chose.
std::unique_ptr<Clipboard> makeClipboard();

} // namespace pennial
