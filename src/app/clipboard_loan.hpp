#pragma once
// The clipboard lent to a keyboard paste: every item the user had is saved, the text to paste is
// put in their place, and afterwards the saved items go back, unless someone copied meanwhile.

#include "platform/clipboard.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace pennial {

class ClipboardLoan {
public:
    enum class Return {
        restored,     // the saved items are back
        cleared,      // nothing was saved: the clipboard is left empty
        keptNewCopy,  // someone copied since the paste's text went on: theirs stays
        alreadyGiven, // an earlier giveBack() did it
    };

    // Saves the contents and puts text on the clipboard as plain text.
    ClipboardLoan(std::shared_ptr<Clipboard> clipboard, const std::string& text);
    // Gives the clipboard back if giveBack() has not, so no path leaves the paste's text on it.
    ~ClipboardLoan();
    ClipboardLoan(const ClipboardLoan&) = delete;
    ClipboardLoan& operator=(const ClipboardLoan&) = delete;

    Return giveBack();

private:
    std::shared_ptr<Clipboard> clipboard_;
    ClipboardSnapshot saved_;
    std::int64_t changeCountAfterLoan_ = 0;
    bool given_ = false;
};

} // namespace pennial
