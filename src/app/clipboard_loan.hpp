#pragma once
// The clipboard lent to a keyboard paste: every item the user had is saved, the text to paste is
// put in their place, and afterwards the saved items go back, unless someone copied meanwhile.

#include "platform/clipboard.hpp"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
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

    // Saves the contents and puts text on the clipboard as plain text. Main thread only.
    ClipboardLoan(std::shared_ptr<Clipboard> clipboard, const std::string& text);
    // Gives the clipboard back if giveBack() has not, so no path leaves the paste's text on it.
    ~ClipboardLoan();
    ClipboardLoan(const ClipboardLoan&) = delete;
    ClipboardLoan& operator=(const ClipboardLoan&) = delete;

    Return giveBack();

    // Puts other text on the clipboard in the lent text's place, for a second paste under the same
    // loan. The user's items stay saved.
    void lend(const std::string& text);
    const std::string& lentText() const { return lentText_; }
    // When lend() last put other text on: the application may fetch it well after the paste key,
    // so the loan runs its time from then too.
    std::optional<std::chrono::steady_clock::time_point> relentAt() const { return relentAt_; }

    // Whether the clipboard holds the lent text: the display server may refuse to let us own it,
    // and a paste would then put the user's own copy into the field.
    bool holdsLentText();

    // Gives back every loan still out: the application is quitting, and a paste's wait will not
    // end.
    static void giveBackAll();

private:
    // Whether the clipboard holds something other than the lent text. A clipboard manager takes
    // over what was just copied at once: a change of owner with the same text is no new copy.
    bool holdsNewCopy();

    std::shared_ptr<Clipboard> clipboard_;
    ClipboardSnapshot saved_;
    std::string lentText_;
    std::int64_t changeCountAfterLoan_ = 0;
    bool given_ = false;
    std::optional<std::chrono::steady_clock::time_point> relentAt_;
};

} // namespace pennial
