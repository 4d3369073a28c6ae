#include "app/clipboard_loan.hpp"
#include "platform/sim/sim_clipboard.hpp"

#include <gtest/gtest.h>

using namespace pennial;

TEST(ClipboardLoan, TheUsersCopyComesBackUnlessTheyCopiedSomethingNew) {
    const ClipboardSnapshot users = {ClipboardItem{{{"text/html", "<b>mine</b>"}}}};
    auto clipboard = std::make_shared<SimClipboard>();

    clipboard->copy(users);
    ClipboardLoan plain(clipboard, "pasted");
    EXPECT_EQ(plain.giveBack(), ClipboardLoan::Return::restored);
    EXPECT_EQ(clipboard->contents(), users);

    // A clipboard manager takes the lent text over at once, in formats of its own: no new copy.
    ClipboardLoan managed(clipboard, "pasted");
    clipboard->copy({ClipboardItem{{{"UTF8_STRING", "pasted"}, {"text/plain", "pasted"}}}});
    EXPECT_EQ(managed.giveBack(), ClipboardLoan::Return::restored);
    EXPECT_EQ(clipboard->contents(), users);

    ClipboardLoan overtaken(clipboard, "pasted");
    clipboard->copyText("copied meanwhile");
    EXPECT_EQ(overtaken.giveBack(), ClipboardLoan::Return::keptNewCopy);
    EXPECT_EQ(clipboard->text(), "copied meanwhile");

    // Quitting while a paste waits gives the clipboard back first.
    clipboard->copy(users);
    ClipboardLoan waiting(clipboard, "pasted");
    ClipboardLoan::giveBackAll();
    EXPECT_EQ(clipboard->contents(), users);
    EXPECT_EQ(waiting.giveBack(), ClipboardLoan::Return::alreadyGiven);
}
