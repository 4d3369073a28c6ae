#include "app/clipboard_loan.hpp"

namespace pennial {

ClipboardLoan::ClipboardLoan(std::shared_ptr<Clipboard> clipboard, const std::string& text)
    : clipboard_(std::move(clipboard)), saved_(clipboard_->snapshot()) {
    clipboard_->clear();
    clipboard_->setText(text);
    changeCountAfterLoan_ = clipboard_->changeCount();
}

ClipboardLoan::~ClipboardLoan() {
    giveBack();
}

ClipboardLoan::Return ClipboardLoan::giveBack() {
    if (given_)
        return Return::alreadyGiven;
    given_ = true;
    // A copy made during the paste is the user's latest: putting the old items over it would
    // lose it.
    if (clipboard_->changeCount() != changeCountAfterLoan_)
        return Return::keptNewCopy;
    if (saved_.empty()) {
        clipboard_->clear();
        return Return::cleared;
    }
    clipboard_->write(saved_);
    return Return::restored;
}

} // namespace pennial
