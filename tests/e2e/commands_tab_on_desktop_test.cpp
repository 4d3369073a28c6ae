// The Commands tab as a window on the desktop, clicked with the real pointer: a "+" clicked while
// the commands are still being fetched loses nothing, locally or in the cloud.

#include "linux_coordinator_fixture.hpp"
#include "services/file_config_storage.hpp"
#include "services/supabase_rows.hpp"
#include "windows/settings/commands_tab.hpp"

#include <QProcess>
#include <QToolButton>

namespace pennial::e2e {
namespace {

// A left click at the widget's centre, through XTest as the mouse makes it.
void clickWithPointer(QWidget* widget) {
    const QPoint centre = widget->mapToGlobal(widget->rect().center());
    QProcess click;
    // No --sync: it waits for a motion that never comes when the pointer is there already.
    click.start("xdotool", {"mousemove", QString::number(centre.x()), QString::number(centre.y()),
                            "click", "1"});
    ASSERT_TRUE(waitUntil([&] { return click.state() == QProcess::NotRunning; }, 10s));
    ASSERT_EQ(click.exitCode(), 0);
    pumpFor(100ms); // the press and release reach the button
}

std::vector<std::string> namesOf(const std::vector<Command>& commands) {
    std::vector<std::string> names;
    for (const auto& command : commands)
        names.push_back(command.name);
    return names;
}

class CommandsTabOnDesktop : public LinuxCoordinatorTest {};

TEST_F(CommandsTabOnDesktop, APlusClickedWhileTheFetchIsSlowLosesNothing) {
    const std::string user = signIn();
    addCommand("polish", "Polish it", true);
    launch();
    const auto stored = FileConfigStorage(folder / "config.json").loadNow().commands;
    ASSERT_TRUE(waitUntil([&] { return !backend.commandRows(user).empty(); }, 10s))
        << "start-up pushes the list the cloud did not have yet";

    backend.setDelay(testing::Endpoint::commandsGet, 1500ms);
    auto tab = std::make_unique<CommandsTab>(*coordinator);
    tab->resize(720, 480);
    tab->show();
    ASSERT_TRUE(waitUntil([&] { return tab->isVisible() && tab->isLoading(); }, 5s));
    pumpFor(200ms); // mapped and placed before the pointer goes there
    clickWithPointer(tab->addButton());
    EXPECT_TRUE(tab->isLoading()) << "the click came before the list";

    ASSERT_TRUE(waitUntil([&] { return !tab->isLoading(); }, 10s));
    pumpFor(300ms);
    EXPECT_EQ(namesOf(tab->commands()), namesOf(stored));
    EXPECT_EQ(FileConfigStorage(folder / "config.json").loadNow().commands, stored);
    EXPECT_EQ(namesOf(decodeCommandRows(json::dump(backend.commandRows(user)))), namesOf(stored));

    // Loaded, the same click adds the command, there and in the cloud.
    backend.clearAnswers(testing::Endpoint::commandsGet);
    clickWithPointer(tab->addButton());
    auto withNew = namesOf(stored);
    withNew.push_back("new");
    EXPECT_TRUE(waitUntil(
        [&] {
            return namesOf(decodeCommandRows(json::dump(backend.commandRows(user)))) == withNew;
        },
        10s));
    EXPECT_EQ(namesOf(FileConfigStorage(folder / "config.json").loadNow().commands), withNew);
}

} // namespace
} // namespace pennial::e2e
