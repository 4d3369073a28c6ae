#include "app/clipboard_loan.hpp"

#include <algorithm>
#include <vector>

namespace pennial {

namespace {

// The loans out now, for a quit to give back. Main thread only.
std::vector<ClipboardLoan*>& outstanding() {
    static std::vector<ClipboardLoan*> loans;
    return loans;
}

bool isPlainTextType(const std::string& type) {
    return type == "text/plain" || type.starts_with("text/plain;") || type == "UTF8_STRING" ||
           type == "STRING" || type == "TEXT";
}

} // namespace

ClipboardLoan::ClipboardLoan(std::shared_ptr<Clipboard> clipboard, const std::string& text)
    : clipboard_(std::move(clipboard)), saved_(clipboard_->snapshot()), lentText_(text) {
    clipboard_->clear();
    clipboard_->setText(text);
    changeCountAfterLoan_ = clipboard_->changeCount();
    outstanding().push_back(this);
}

ClipboardLoan::~ClipboardLoan() {
    giveBack();
}

void ClipboardLoan::giveBackAll() {
    // giveBack() takes each loan off the list.
    while (!outstanding().empty())
        outstanding().back()->giveBack();
}

void ClipboardLoan::lend(const std::string& text) {
    relentAt_ = std::chrono::steady_clock::now();
    lentText_ = text;
    clipboard_->clear();
    clipboard_->setText(text);
    changeCountAfterLoan_ = clipboard_->changeCount();
}

bool ClipboardLoan::holdsNewCopy() {
    if (clipboard_->changeCount() == changeCountAfterLoan_)
        return false;
    const auto now = clipboard_->snapshot();
    if (now.size() != 1)
        return true;
    bool sawText = false;
    for (const auto& [type, data] : now.front().representations) {
        if (!isPlainTextType(type))
            continue;
        if (data != lentText_)
            return true;
        sawText = true;
    }
    return !sawText;
}

bool ClipboardLoan::holdsLentText() {
    const auto now = clipboard_->snapshot();
    if (now.empty())
        return false;
    for (const auto& [type, data] : now.front().representations)
        if (isPlainTextType(type) && data == lentText_)
            return true;
    return false;
}

ClipboardLoan::Return ClipboardLoan::giveBack() {
    if (given_)
        return Return::alreadyGiven;
    given_ = true;
    std::erase(outstanding(), this);
    // A copy made during the paste is the user's latest: putting the old items over it would
    // lose it.
    if (holdsNewCopy())
        return Return::keptNewCopy;
    if (saved_.empty()) {
        clipboard_->clear();
        return Return::cleared;
    }
    clipboard_->write(saved_);
    return Return::restored;
}

} // namespace pennial
