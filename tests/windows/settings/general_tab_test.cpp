#include "services/config_service.hpp"
#include "settings_fixture.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_saved_indicator.hpp"
#include "ui/design/pn_text_area.hpp"
#include "windows/settings/general_tab.hpp"
#include "windows/settings/settings_button.hpp"
#include "windows/settings/settings_view.hpp"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace pennial::testing {
namespace {

const QString syncWarning = QStringLiteral("Could not sync from cloud — showing local data");

AppConfig storedConfig() {
    AppConfig config = AppConfig::defaults();
    config.triggerPattern = "//";
    config.userDisplayNames = "Ada, Countess";
    config.userWritingContext = "Short sentences.";
    config.commands.resize(2);
    return config;
}

class GeneralTabTest : public SettingsFixture {
protected:
    // The General tab shown in the settings card, and loaded.
    GeneralTab& openGeneralTab() {
        view = openSettings(SettingsView::generalTab);
        EXPECT_NE(view, nullptr);
        auto* tab = dynamic_cast<GeneralTab*>(view->content());
        EXPECT_NE(tab, nullptr);
        EXPECT_TRUE(runUntil([&] { return !tab->isLoading(); }));
        return *tab;
    }

    SettingsView* view = nullptr;
};

TEST_F(GeneralTabTest, ShowsTheStoredValuesAndWarnsWhenThePullFailed) {
    writeConfig(storedConfig());
    launch(); // nobody is signed in, so the pull fails
    GeneralTab& tab = openGeneralTab();
    EXPECT_EQ(tab.triggerPattern(), QStringLiteral("//"));
    EXPECT_EQ(tab.displayNames(), QStringLiteral("Ada, Countess"));
    EXPECT_EQ(tab.writingContext(), QStringLiteral("Short sentences."));
    EXPECT_EQ(tab.errorMessage(), syncWarning);
    EXPECT_EQ(tab.example()->text(),
              QStringLiteral("Type this pattern followed by a command name (e.g., \"//polish\")"));
}

TEST_F(GeneralTabTest, ShowsTheProfileThePullBroughtWithoutAWarning) {
    writeConfig(storedConfig());
    const std::string user = storeSession();
    launch();
    backend.setProfileRow(
        user,
        {{"user_id", user}, {"user_display_names", "Grace"}, {"user_writing_context", "Formal."}});
    GeneralTab& tab = openGeneralTab();
    EXPECT_EQ(tab.displayNames(), QStringLiteral("Grace"));
    EXPECT_EQ(tab.writingContext(), QStringLiteral("Formal."));
    EXPECT_EQ(tab.triggerPattern(), QStringLiteral("//"));
    EXPECT_EQ(tab.errorMessage(), std::nullopt);
}

TEST_F(GeneralTabTest, AnUnreadableFileLeavesTheFieldsAsTheyStart) {
    writeConfigText("{ not json");
    launch();
    GeneralTab& tab = openGeneralTab();
    EXPECT_EQ(tab.errorMessage(), QStringLiteral("Failed to load settings"));
    EXPECT_EQ(tab.triggerPattern(), QStringLiteral(";;"));
    EXPECT_EQ(tab.displayNames(), QString());
}

TEST_F(GeneralTabTest, SavingThePatternStoresItTellsTheMonitorAndClearsTheWarning) {
    writeConfig(storedConfig());
    launch();
    GeneralTab& tab = openGeneralTab();
    ASSERT_EQ(tab.errorMessage(), syncWarning);
    tab.triggerField()->setText(QStringLiteral(" >"));
    EXPECT_EQ(tab.example()->text(),
              QStringLiteral("Type this pattern followed by a command name (e.g., \" >polish\")"));

    tab.saveButton()->click();
    ASSERT_TRUE(runUntil([&] { return tab.saved(); }));
    // Stored as typed, untrimmed; everything else in the file stays.
    AppConfig expected = storedConfig();
    expected.triggerPattern = " >";
    EXPECT_EQ(readConfig(), expected);
    EXPECT_EQ(textMonitor->triggerPattern, " >");
    EXPECT_EQ(tab.errorMessage(), std::nullopt);
    EXPECT_TRUE(backend.requests(Endpoint::profileUpsert).empty());

    // The mark stays long enough to be read, then goes after its time and the flag follows it.
    EXPECT_FALSE(runUntil([&] { return !tab.saved(); }, std::chrono::milliseconds(500)));
    tab.savedIndicator()->lifetime()->setInterval(1);
    EXPECT_TRUE(runUntil([&] { return !tab.saved(); }));
}

TEST_F(GeneralTabTest, APatternTheConfigurationRefusesChangesNothing) {
    writeConfig(storedConfig());
    launch();
    GeneralTab& tab = openGeneralTab();
    tab.triggerField()->clear();
    EXPECT_EQ(tab.example()->text(),
              QStringLiteral("Type this pattern followed by a command name (e.g., \"polish\")"));
    // Empty, and blanks only (which would fire on ordinary typing).
    for (const QString& refused : {QString(), QStringLiteral("   ")}) {
        tab.triggerField()->setText(refused);
        tab.saveButton()->click();
        ASSERT_TRUE(runUntil([&] { return tab.errorMessage() != syncWarning; }));
        EXPECT_EQ(tab.errorMessage(), QStringLiteral("Failed to save trigger pattern"));
        EXPECT_FALSE(tab.saved());
        EXPECT_EQ(readConfig().triggerPattern, "//");
        EXPECT_EQ(textMonitor->triggerPattern, "//");
        EXPECT_EQ(tab.triggerPattern(), refused); // the field keeps what was typed
    }
}

TEST_F(GeneralTabTest, ResetSavesTheDefaultPattern) {
    writeConfig(storedConfig());
    launch();
    GeneralTab& tab = openGeneralTab();
    tab.resetButton()->click();
    EXPECT_EQ(tab.triggerPattern(), QStringLiteral(";;"));
    ASSERT_TRUE(runUntil([&] { return tab.saved(); }));
    saveScreenshot(view->window(), QStringLiteral("general_tab_saved"));
    EXPECT_EQ(readConfig().triggerPattern, ";;");
    EXPECT_EQ(textMonitor->triggerPattern, ";;");
    EXPECT_EQ(tab.errorMessage(), std::nullopt);
}

TEST_F(GeneralTabTest, TheProfileIsSavedAndPushedAsTyped) {
    const std::string user = storeSession();
    launch();
    GeneralTab& tab = openGeneralTab();
    tab.namesField()->setText(QStringLiteral(" Ada "));
    tab.writingArea()->setText(QStringLiteral("Dry humour."));
    tab.profileSaveButton()->click();
    ASSERT_TRUE(runUntil([&] { return backend.requestCount(Endpoint::profileUpsert) == 1; }));
    ASSERT_TRUE(runUntil([&] { return tab.profileSaved(); }));
    EXPECT_EQ(readConfig().userDisplayNames, " Ada ");
    EXPECT_EQ(readConfig().userWritingContext, "Dry humour.");
    const auto row = backend.profileRow(user);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ((*row)["user_display_names"], " Ada ");
    EXPECT_EQ((*row)["user_writing_context"], "Dry humour.");
    EXPECT_EQ(tab.errorMessage(), std::nullopt);
}

TEST_F(GeneralTabTest, AFailedPushKeepsTheLocalSaveAndSaysSo) {
    writeConfig(storedConfig());
    launch(); // signed out: the push has no session
    GeneralTab& tab = openGeneralTab();
    tab.namesField()->setText(QStringLiteral("Grace"));
    tab.profileSaveButton()->click();
    const QString pushFailed = QStringLiteral("Saved locally but failed to sync to cloud");
    ASSERT_TRUE(runUntil([&] { return tab.errorMessage() == pushFailed; }));
    EXPECT_TRUE(tab.profileSaved());
    EXPECT_EQ(readConfig().userDisplayNames, "Grace");
    EXPECT_EQ(readConfig().triggerPattern, "//");

    // A later pattern save clears it; a later profile save would not.
    tab.saveButton()->click();
    EXPECT_TRUE(runUntil([&] { return !tab.errorMessage().has_value(); }));
}

TEST_F(GeneralTabTest, SavesStartedTogetherKeepBothChanges) {
    writeConfig(storedConfig());
    launch();
    GeneralTab& tab = openGeneralTab();
    tab.triggerField()->setText(QStringLiteral("::"));
    tab.namesField()->setText(QStringLiteral("Grace"));
    tab.saveButton()->click();
    tab.profileSaveButton()->click();
    ASSERT_TRUE(runUntil([&] { return tab.saved() && tab.profileSaved(); }));
    const AppConfig stored = readConfig();
    EXPECT_EQ(stored.triggerPattern, "::");
    EXPECT_EQ(stored.userDisplayNames, "Grace");
}

TEST_F(GeneralTabTest, ASaveRunsOnAfterTheTabIsGone) {
    writeConfig(storedConfig());
    launch();
    GeneralTab& tab = openGeneralTab();
    tab.triggerField()->setText(QStringLiteral("%%"));
    tab.saveButton()->click();
    view->selectTab(SettingsView::accountTab);
    ASSERT_TRUE(runUntil([&] { return textMonitor->triggerPattern == "%%"; }));
    EXPECT_EQ(readConfig().triggerPattern, "%%");
}

TEST_F(GeneralTabTest, TheMonitorGetsThePatternThatWasStored) {
    writeConfig(storedConfig());
    launch();
    GeneralTab& tab = openGeneralTab();
    tab.triggerField()->setText(QStringLiteral("%%"));
    tab.saveButton()->click();
    tab.triggerField()->setText(QString()); // typed on while the save runs
    ASSERT_TRUE(runUntil([&] { return tab.saved(); }));
    EXPECT_EQ(readConfig().triggerPattern, "%%");
    EXPECT_EQ(textMonitor->triggerPattern, "%%");
}

TEST_F(GeneralTabTest, APatternThatLooksLikeMarkupIsShownAsTyped) {
    writeConfig(storedConfig());
    launch();
    GeneralTab& tab = openGeneralTab();
    tab.triggerField()->setText(QStringLiteral("<b>"));
    // Read as markup the tag would vanish and the rest turn bold: it must draw as plain text does.
    QLabel* example = tab.example();
    QLabel plain(example->parentWidget()); // under the same style
    plain.setTextFormat(Qt::PlainText);
    plain.setFont(example->font());
    plain.setWordWrap(example->wordWrap());
    plain.setPalette(example->palette());
    plain.setText(example->text());
    plain.resize(example->size());
    EXPECT_TRUE(example->text().contains(QStringLiteral("<b>polish")));
    EXPECT_EQ(example->grab().toImage(), plain.grab().toImage());
}

} // namespace
} // namespace pennial::testing

namespace pennial::testing {

TEST_F(GeneralTabTest, NothingCanBeSavedOrTypedOverBeforeTheLoadEnds) {
    const std::string user = storeSession();
    writeConfig(storedConfig());
    backend.setProfileRow(user, Json{{"user_display_names", "Ada, Countess"},
                                     {"user_writing_context", "Short sentences."}});
    launch();
    backend.setDelay(Endpoint::profileGet, std::chrono::milliseconds(300));
    view = openSettings(SettingsView::generalTab);
    auto* tab = dynamic_cast<GeneralTab*>(view->content());
    ASSERT_NE(tab, nullptr);
    ASSERT_TRUE(tab->isLoading());
    for (QWidget* control : std::initializer_list<QWidget*>{
             tab->triggerField(), tab->saveButton(), tab->resetButton(), tab->namesField(),
             tab->writingArea(), tab->profileSaveButton()})
        EXPECT_FALSE(control->isEnabled());
    tab->profileSaveButton()->click();
    tab->saveButton()->click();
    tab->resetButton()->click();
    ASSERT_TRUE(runUntil([&] { return !tab->isLoading(); }));
    runUntil([] { return false; }, std::chrono::milliseconds(30));
    EXPECT_EQ(backend.requestCount(Endpoint::profileUpsert), 0u);
    EXPECT_EQ((*backend.profileRow(user))["user_display_names"], "Ada, Countess");
    EXPECT_EQ(readConfig().triggerPattern, "//");
    EXPECT_EQ(tab->triggerPattern(), QStringLiteral("//"));
    EXPECT_EQ(tab->displayNames(), QStringLiteral("Ada, Countess"));
    EXPECT_TRUE(tab->profileSaveButton()->isEnabled());
}

} // namespace pennial::testing
