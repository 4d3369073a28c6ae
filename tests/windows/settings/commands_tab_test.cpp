#include "commands_tab_fixture.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_text_area.hpp"
#include "windows/settings/command_editor.hpp"
#include "windows/settings/commands_tab.hpp"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>

using namespace pennial;
using namespace pennial::testing;

namespace {

constexpr const char* unpushedMarker = AppCoordinator::hasUnpushedLocalCommandsKey;

std::vector<std::string> namesOf(const std::vector<Command>& commands) {
    std::vector<std::string> names;
    for (const auto& command : commands)
        names.push_back(command.name);
    return names;
}

std::vector<std::string> remoteNames(const Json& rows) {
    std::vector<std::string> names;
    for (const auto& row : rows)
        names.push_back(row.at("name").get<std::string>());
    return names;
}

// As the user types: replaces the field's text through an edit.
void typeName(CommandDetailView& editor, const QString& text) {
    auto* field = editor.nameField()->lineEdit();
    field->selectAll();
    if (text.isEmpty())
        field->del();
    else
        field->insert(text);
}

void typeInstructions(CommandDetailView& editor, const QString& text) {
    editor.instructionsArea()->editor()->setPlainText(text);
}

class CommandsTabTest : public CommandsTabFixture {
protected:
    // Local configuration with these commands, and the same list in the cloud.
    void launchWith(const std::vector<Command>& commands) {
        auto config = AppConfig::defaults();
        config.commands = commands;
        writeConfig(config);
        storeSession();
        backend.setCommandRows(userId, commandRowsOf(commands));
        launchSignedIn();
        ASSERT_EQ(readConfig().commands, commands);
    }

    // The tab on the card window's dark surface, as the settings window hosts it.
    CommandsTab& openTab() {
        host = makeCardSurface();
        tab = new CommandsTab(*coordinator, host.get());
        host->layout()->addWidget(tab);
        host->show();
        EXPECT_TRUE(pumpUntil([&] { return !tab->isLoading(); }));
        return *tab;
    }
    void closeTab() {
        tab = nullptr;
        host.reset();
    }

    // Waits for the save that brings the cloud to the given number of pushes to end.
    bool waitForPushes(std::size_t count) {
        return pumpUntil([&] {
            return backend.requestCount(Endpoint::commandsUpsert) >= count &&
                   !defaults->boolForKey(unpushedMarker);
        });
    }

    std::vector<std::string> listedNames() const {
        std::vector<std::string> names;
        for (int row = 0; row < tab->list()->count(); ++row) {
            auto* widget = tab->list()->itemWidget(tab->list()->item(row));
            names.push_back(
                widget->findChild<QLabel*>(QStringLiteral("commandName"))->text().toStdString());
        }
        return names;
    }

    const std::vector<Command> fixAndSig{
        Command::make("fix", "Fix it", true, std::map<std::string, std::string>{{"k", "v"}}),
        Command::make("sig", "Best,\nAda", false)};
    std::unique_ptr<QWidget> host;
    CommandsTab* tab = nullptr;
};

} // namespace

TEST_F(CommandsTabTest, ShowsTheListAsThePullLeftIt) {
    launchWith(fixAndSig);
    // Changed in the cloud since start-up: the tab's own pull brings it in.
    auto remote = fixAndSig;
    remote.push_back(Command::make("reply", "Reply to it", true));
    backend.setCommandRows(userId, commandRowsOf(remote));

    openTab();
    EXPECT_EQ(namesOf(tab->commands()), (std::vector<std::string>{"fix", "sig", "reply"}));
    EXPECT_EQ(listedNames(), (std::vector<std::string>{"fix", "sig", "reply"}));
    EXPECT_EQ(tab->selectedID(), remote[0].id);
    EXPECT_EQ(tab->list()->currentRow(), 0);
    ASSERT_NE(tab->editor(), nullptr);
    EXPECT_EQ(tab->editor()->nameField()->text(), QStringLiteral("fix"));
    EXPECT_FALSE(tab->errorMessage());
    // Only insert commands carry the mark.
    auto markOf = [&](int row) {
        return tab->list()
                   ->itemWidget(tab->list()->item(row))
                   ->findChild<QLabel*>(QStringLiteral("insertMark")) != nullptr;
    };
    EXPECT_FALSE(markOf(0));
    EXPECT_TRUE(markOf(1));
    saveTabScreenshot(host.get(), QStringLiteral("commands_tab"));

    // A click on a row selects its command and opens its editor.
    auto* list = tab->list();
    const QPoint centre = list->visualItemRect(list->item(2)).center();
    clickAt(list->viewport(), centre);
    EXPECT_EQ(tab->selectedID(), remote[2].id);
    ASSERT_NE(tab->editor(), nullptr);
    EXPECT_EQ(tab->editor()->nameField()->text(), QStringLiteral("reply"));
}

TEST_F(CommandsTabTest, AFailedPullShowsTheLocalList) {
    launchWith(fixAndSig);
    backend.answerNext(Endpoint::commandsGet, FakeAnswer::json(500, Json{{"message", "down"}}));
    openTab();
    EXPECT_EQ(namesOf(tab->commands()), (std::vector<std::string>{"fix", "sig"}));
    EXPECT_EQ(tab->errorMessage(),
              QStringLiteral("Could not sync from cloud — showing local data"));
    EXPECT_TRUE(tab->errorLine()->isVisibleTo(tab));
}

TEST_F(CommandsTabTest, AnEmptyListShowsThePlaceholder) {
    launchWith({});
    openTab();
    EXPECT_TRUE(tab->commands().empty());
    EXPECT_FALSE(tab->selectedID());
    EXPECT_EQ(tab->editor(), nullptr);
    EXPECT_TRUE(tab->placeholder()->isVisibleTo(tab));
    EXPECT_FALSE(tab->deleteButton()->isEnabled());
    saveTabScreenshot(host.get(), QStringLiteral("commands_tab_empty"));
}

TEST_F(CommandsTabTest, AddEditAndDeleteAreSavedToldAndPushed) {
    launchWith(fixAndSig);
    openTab();

    // Added: saved, a valid name and pushed at once, empty and in rewrite mode.
    clickWidget(tab->addButton());
    ASSERT_TRUE(waitForPushes(1));
    ASSERT_EQ(tab->commands().size(), 3u);
    const Command added = tab->commands().back();
    EXPECT_EQ(added.name, "new");
    EXPECT_EQ(added.content, "");
    EXPECT_TRUE(added.replaceText);
    EXPECT_EQ(tab->selectedID(), added.id);
    EXPECT_EQ(readConfig().commands, tab->commands());
    EXPECT_EQ(textMonitor->validCommandNames, (std::set<std::string>{"fix", "sig", "new"}));
    EXPECT_EQ(remoteNames(backend.commandRows(userId)),
              (std::vector<std::string>{"fix", "sig", "new"}));
    ASSERT_NE(tab->editor(), nullptr);
    EXPECT_EQ(tab->editor()->nameField()->text(), QStringLiteral("new"));
    EXPECT_FALSE(tab->editor()->saveButton()->isEnabled()); // no instructions yet
    EXPECT_TRUE(tab->editor()->rewriteSegment()->isChecked());

    // A second one does not take a name that is already there.
    clickWidget(tab->addButton());
    ASSERT_TRUE(waitForPushes(2));
    EXPECT_EQ(tab->commands().back().name, "new2");

    // Edited in the editor of the first command: the same editor stays, marked saved.
    tab->select(fixAndSig[0].id);
    CommandDetailView* editor = tab->editor();
    typeName(*editor, QStringLiteral("polish"));
    typeInstructions(*editor, QStringLiteral("Polish it"));
    clickWidget(editor->insertSegment());
    clickWidget(editor->saveButton());
    ASSERT_TRUE(waitForPushes(3));
    EXPECT_EQ(tab->editor(), editor);
    EXPECT_TRUE(editor->saved());
    EXPECT_EQ(editor->nameField()->text(), QStringLiteral("polish"));
    const Command& edited = tab->commands().front();
    EXPECT_EQ(edited.id, fixAndSig[0].id);
    EXPECT_EQ(edited.name, "polish");
    EXPECT_EQ(edited.content, "Polish it");
    EXPECT_FALSE(edited.replaceText);
    EXPECT_FALSE(edited.metadata); // an edit drops the metadata
    EXPECT_EQ(readConfig().commands, tab->commands());
    EXPECT_EQ(textMonitor->validCommandNames,
              (std::set<std::string>{"polish", "sig", "new", "new2"}));
    EXPECT_EQ(remoteNames(backend.commandRows(userId)),
              (std::vector<std::string>{"polish", "sig", "new", "new2"}));
    saveTabScreenshot(host.get(), QStringLiteral("commands_tab_saved"));

    // Deleted with the minus button: the selection goes to the first command, not a neighbour.
    tab->select(tab->commands()[2].id);
    clickWidget(tab->deleteButton());
    ASSERT_TRUE(waitForPushes(4));
    EXPECT_EQ(namesOf(tab->commands()), (std::vector<std::string>{"polish", "sig", "new2"}));
    EXPECT_EQ(tab->selectedID(), fixAndSig[0].id);
    EXPECT_EQ(readConfig().commands, tab->commands());
    EXPECT_EQ(textMonitor->validCommandNames, (std::set<std::string>{"polish", "sig", "new2"}));

    // And with the editor's Delete, down to nothing.
    for (int left = 3; left > 0; --left) {
        ASSERT_NE(tab->editor(), nullptr);
        clickWidget(tab->editor()->deleteButton());
        pumpFor(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(waitForPushes(7));
    EXPECT_TRUE(tab->commands().empty());
    EXPECT_FALSE(tab->selectedID());
    EXPECT_TRUE(tab->placeholder()->isVisibleTo(tab));
    EXPECT_TRUE(readConfig().commands.empty());
    EXPECT_TRUE(backend.commandRows(userId).empty());
    EXPECT_FALSE(tab->errorMessage());
}

TEST_F(CommandsTabTest, TheEditorRefusesWhatCouldNeverBeTriggered) {
    launchWith(fixAndSig);
    openTab();
    CommandDetailView* editor = tab->editor();
    ASSERT_NE(editor, nullptr);
    for (const char* name : {"Fix", "fix-it", "fix it", "fix ", "fïx", "fix_it"}) {
        typeName(*editor, QString::fromUtf8(name));
        clickWidget(editor->saveButton());
        EXPECT_EQ(editor->validationError(),
                  QStringLiteral("Name must be lowercase letters and numbers only"))
            << name;
        EXPECT_TRUE(editor->errorLine()->isVisibleTo(editor));
    }
    saveTabScreenshot(host.get(), QStringLiteral("commands_tab_invalid_name"));

    // The other command's name: two commands of one name, and only the first could ever run.
    typeName(*editor, QStringLiteral("sig"));
    clickWidget(editor->saveButton());
    EXPECT_EQ(editor->validationError(), QStringLiteral("Another command already has this name"));

    // Nothing of it was stored, and typing alone does not clear the message.
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(backend.requestCount(Endpoint::commandsUpsert), 0u);
    EXPECT_EQ(readConfig().commands, fixAndSig);
    EXPECT_FALSE(editor->saved());
    typeName(*editor, QStringLiteral("fix2"));
    EXPECT_TRUE(editor->validationError());

    // Another command's editor starts clean.
    tab->select(fixAndSig[1].id);
    ASSERT_NE(tab->editor(), nullptr);
    EXPECT_FALSE(tab->editor()->validationError());
    EXPECT_FALSE(tab->editor()->errorLine()->isVisibleTo(tab->editor()));
    EXPECT_EQ(tab->editor()->nameField()->text(), QStringLiteral("sig"));
    EXPECT_TRUE(tab->editor()->insertSegment()->isChecked());

    // Its own unchanged name is no duplicate; lower-case letters and digits pass.
    tab->select(fixAndSig[0].id);
    editor = tab->editor();
    typeName(*editor, QStringLiteral("fizz2"));
    clickWidget(editor->saveButton());
    ASSERT_TRUE(waitForPushes(1));
    EXPECT_FALSE(editor->validationError());
    EXPECT_EQ(readConfig().commands.front().name, "fizz2");

    // Every letter from a to z and every digit, at either end of a name too; the characters
    // either side of those ranges are refused.
    for (const char* name : {"thequickbrownfox", "jumpsoverthelazydog", "0123456789", "a", "z",
                             "9to5", "zz0", "fizzbuzz"})
        EXPECT_EQ(commandValidationError(name, "Fix it", "fix", {"sig"}), std::nullopt) << name;
    for (const char* name : {"fix`", "fix{", "fix/", "fix:", "@fix", "fi[x", "FIZZ"})
        EXPECT_EQ(commandValidationError(name, "Fix it", "fix", {"sig"}),
                  QStringLiteral("Name must be lowercase letters and numbers only"))
            << name;
}

TEST_F(CommandsTabTest, AFailedPushKeepsTheLocalChangeAndIsPushedByTheNextPull) {
    launchWith(fixAndSig);
    openTab();
    backend.answerNext(Endpoint::commandsUpsert,
                       FakeAnswer::json(400, Json{{"message", "rejected"}}));
    clickWidget(tab->addButton());
    ASSERT_TRUE(pumpUntil([&] { return tab->errorMessage().has_value(); }));
    EXPECT_EQ(tab->errorMessage(), QStringLiteral("Saved locally but failed to sync to cloud"));
    EXPECT_EQ(namesOf(readConfig().commands), (std::vector<std::string>{"fix", "sig", "new"}));
    EXPECT_EQ(textMonitor->validCommandNames, (std::set<std::string>{"fix", "sig", "new"}));
    EXPECT_TRUE(defaults->boolForKey(unpushedMarker));
    EXPECT_EQ(remoteNames(backend.commandRows(userId)), (std::vector<std::string>{"fix", "sig"}));
    saveTabScreenshot(host.get(), QStringLiteral("commands_tab_push_failed"));

    // The next visit's pull pushes the local list before pulling, so it is not overwritten.
    closeTab();
    openTab();
    EXPECT_EQ(namesOf(tab->commands()), (std::vector<std::string>{"fix", "sig", "new"}));
    EXPECT_EQ(remoteNames(backend.commandRows(userId)),
              (std::vector<std::string>{"fix", "sig", "new"}));
    EXPECT_FALSE(defaults->boolForKey(unpushedMarker));
    EXPECT_FALSE(tab->errorMessage());
}

TEST_F(CommandsTabTest, AFailedLocalSaveTellsNobody) {
    launchWith(fixAndSig);
    openTab();
    const auto namesBefore = textMonitor->validCommandNames;
    // The file's place taken by a folder: the write cannot replace it.
    std::filesystem::remove(configFile);
    std::filesystem::create_directory(configFile);
    clickWidget(tab->addButton());
    ASSERT_TRUE(pumpUntil([&] { return tab->errorMessage().has_value(); }));
    EXPECT_EQ(tab->errorMessage(), QStringLiteral("Failed to save commands"));
    EXPECT_EQ(tab->commands().size(), 3u); // the tab keeps showing the change
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(textMonitor->validCommandNames, namesBefore);
    EXPECT_EQ(backend.requestCount(Endpoint::commandsUpsert), 0u);

    // And a load that cannot read the configuration says so, keeping the list as it was.
    closeTab();
    openTab();
    EXPECT_EQ(tab->errorMessage(), QStringLiteral("Failed to load commands"));
    EXPECT_TRUE(tab->commands().empty());
}

TEST_F(CommandsTabTest, TheModeAloneStoresNothingAndTheLibraryOpensInTheBrowser) {
    launchWith(fixAndSig);
    openTab();
    CommandDetailView* editor = tab->editor();
    clickWidget(editor->insertSegment());
    EXPECT_FALSE(editor->replaceText());
    pumpFor(std::chrono::milliseconds(20));
    EXPECT_EQ(backend.requestCount(Endpoint::commandsUpsert), 0u);
    EXPECT_TRUE(readConfig().commands.front().replaceText);

    clickWidget(editor->libraryLink());
    EXPECT_EQ(desktop.openedURLs(), (std::vector<std::string>{commandsLibraryURL}));

    // Empty fields disable Save; instructions of blanks alone are instructions.
    typeInstructions(*editor, QString());
    EXPECT_FALSE(editor->saveButton()->isEnabled());
    typeInstructions(*editor, QStringLiteral("  "));
    EXPECT_TRUE(editor->saveButton()->isEnabled());
    typeName(*editor, QString());
    EXPECT_FALSE(editor->saveButton()->isEnabled());
}

TEST_F(CommandsTabTest, ASaveStartedAsTheWindowClosesRunsToItsEnd) {
    launchWith(fixAndSig);
    openTab();
    backend.setDelay(Endpoint::commandsUpsert, std::chrono::milliseconds(30));
    clickWidget(tab->addButton());
    closeTab();
    ASSERT_TRUE(waitForPushes(1));
    EXPECT_EQ(namesOf(readConfig().commands), (std::vector<std::string>{"fix", "sig", "new"}));
    EXPECT_EQ(remoteNames(backend.commandRows(userId)),
              (std::vector<std::string>{"fix", "sig", "new"}));
}

TEST_F(CommandsTabTest, NothingIsAddedOverAListStillLoadingOrOneThatCouldNotBeRead) {
    launchWith(fixAndSig);
    backend.setDelay(Endpoint::commandsGet, std::chrono::milliseconds(400));
    host = makeCardSurface();
    tab = new CommandsTab(*coordinator, host.get());
    host->layout()->addWidget(tab);
    host->show();
    ASSERT_TRUE(tab->isLoading());
    EXPECT_FALSE(tab->addButton()->isEnabled());
    clickWidget(tab->addButton());
    tab->addCommand();
    ASSERT_TRUE(pumpUntil([&] { return !tab->isLoading(); }));
    EXPECT_TRUE(tab->addButton()->isEnabled());
    EXPECT_EQ(namesOf(tab->commands()), namesOf(fixAndSig));
    EXPECT_EQ(readConfig().commands, fixAndSig);
    EXPECT_EQ(remoteNames(backend.commandRows(userId)), namesOf(fixAndSig));
    closeTab();

    // A file that cannot be read shows nothing to add to.
    backend.clearAnswers(Endpoint::commandsGet);
    std::filesystem::remove(configFile);
    std::filesystem::create_directory(configFile);
    openTab();
    EXPECT_EQ(tab->errorMessage(), QStringLiteral("Failed to load commands"));
    EXPECT_FALSE(tab->addButton()->isEnabled());
}

TEST_F(CommandsTabTest, ACommandSharingItsNameWithAPulledOneCanStillBeEdited) {
    auto twins = fixAndSig;
    twins[1] = Command::make("fix", "Fix it differently", true);
    launchWith(twins);
    openTab();
    tab->select(twins[1].id);
    typeInstructions(*tab->editor(), QStringLiteral("Fix it my way"));
    clickWidget(tab->editor()->saveButton());
    EXPECT_FALSE(tab->editor()->validationError());
    ASSERT_TRUE(waitForPushes(1));
    EXPECT_EQ(readConfig().commands[1].content, "Fix it my way");
    typeName(*tab->editor(), QStringLiteral("sig"));
    clickWidget(tab->editor()->saveButton());
    EXPECT_FALSE(tab->editor()->validationError()) << "no other command is named sig";
}
