#include "windows/settings/general_tab.hpp"

#include "app/app_coordinator.hpp"
#include "app/text_monitor_control.hpp"
#include "services/config_service.hpp"
#include "services/supabase_store.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_saved_indicator.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_text_area.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/settings/configuration_change.hpp"
#include "windows/settings/settings_button.hpp"
#include "windows/settings/settings_divider.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <chrono>

namespace pennial {

namespace {

constexpr const char* defaultTriggerPattern = ";;";
constexpr auto savedMarkDuration = std::chrono::seconds(2);
constexpr int triggerFieldWidth = 80;
constexpr qreal writingAreaHeight = 80;

QString localized(const char* text) {
    return QCoreApplication::translate("GeneralTab", text);
}

QLabel* makeText(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText); // the example shows the user's own pattern
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

QVBoxLayout* sectionLayout(QWidget* section) {
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(static_cast<int>(PNSpacing::sm));
    layout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return layout;
}

QHBoxLayout* rowLayout() {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(static_cast<int>(PNSpacing::sm));
    return row;
}

// The rounded-border field on the dark card, as the design's form field draws it.
QString triggerFieldStyleSheet() {
    return QStringLiteral("QLineEdit { background: rgba(255, 255, 255, 0.06);"
                          " border: 1px solid rgba(255, 255, 255, 0.2); border-radius: %1px;"
                          " padding: 3px 6px; }"
                          "QLineEdit:focus { border-color: %2; }")
        .arg(PNRadius::small)
        .arg(PNColor::accent().name(QColor::HexArgb));
}

} // namespace

GeneralTab::GeneralTab(AppCoordinator& coordinator, Executor main, QWidget* parent)
    : QWidget(parent), coordinator_(coordinator), main_(std::move(main)) {
    setObjectName(QStringLiteral("GeneralTab"));
    auto* root = new QVBoxLayout(this);
    const int margin = static_cast<int>(PNSpacing::xl);
    root->setContentsMargins(margin, margin, margin, margin);
    root->setSpacing(static_cast<int>(PNSpacing::lg));
    root->addWidget(buildTriggerSection());
    root->addWidget(makeSettingsDivider(this));
    root->addWidget(buildProfileSection());
    root->addStretch(1);
}

GeneralTab::~GeneralTab() {
    // The load belongs to the tab's time on screen; the saves run on to their end.
    loadTask_.cancel();
}

QWidget* GeneralTab::buildTriggerSection() {
    auto* section = new QWidget(this);
    auto* layout = sectionLayout(section);
    layout->addWidget(makeText(localized("Trigger Pattern"), PNTypography::heading(),
                               PNColor::textPrimary(), section));

    auto* row = rowLayout();
    triggerField_ = new QLineEdit(QString::fromLatin1(defaultTriggerPattern), section);
    triggerField_->setPlaceholderText(QString::fromLatin1(defaultTriggerPattern));
    triggerField_->setFont(PNTypography::body());
    triggerField_->setFixedWidth(triggerFieldWidth);
    triggerField_->setStyleSheet(triggerFieldStyleSheet());
    triggerField_->setAccessibleName(localized("Trigger Pattern"));
    QPalette fieldPalette = triggerField_->palette();
    fieldPalette.setColor(QPalette::Text, PNColor::textPrimary());
    fieldPalette.setColor(QPalette::PlaceholderText, PNColor::textTertiary());
    triggerField_->setPalette(fieldPalette);
    connect(triggerField_, &QLineEdit::textChanged, this, [this] { updateExample(); });
    row->addWidget(triggerField_);

    saveButton_ = new SettingsButton(localized("Save"), SettingsButton::Kind::prominent, section);
    connect(saveButton_, &QAbstractButton::clicked, this, [this] { saveTriggerPattern(); });
    row->addWidget(saveButton_);
    resetButton_ = new SettingsButton(localized("Reset"), SettingsButton::Kind::bordered, section);
    connect(resetButton_, &QAbstractButton::clicked, this, [this] {
        triggerField_->setText(QString::fromLatin1(defaultTriggerPattern));
        saveTriggerPattern();
    });
    row->addWidget(resetButton_);
    savedIndicator_ = new PNSavedIndicator(savedMarkDuration, section);
    row->addWidget(savedIndicator_);
    row->addStretch(1);
    layout->addLayout(row);

    example_ = makeText(QString(), PNTypography::caption(), PNColor::textSecondary(), section);
    example_->setWordWrap(true);
    layout->addWidget(example_);
    updateExample();

    errorText_ = new PNErrorText(std::nullopt, section);
    layout->addWidget(errorText_);
    return section;
}

QWidget* GeneralTab::buildProfileSection() {
    auto* section = new QWidget(this);
    auto* layout = sectionLayout(section);
    layout->addWidget(makeText(localized("Your Profile"), PNTypography::heading(),
                               PNColor::textPrimary(), section));
    auto* caption = makeText(localized("Helps AI recognize who you are and write more like you."),
                             PNTypography::caption(), PNColor::textSecondary(), section);
    caption->setWordWrap(true);
    layout->addWidget(caption);

    namesField_ = new PNFormField(localized("Name & nicknames (comma-separated)"),
                                  localized("e.g., Alexander, Alex..."), PNTypography::body(),
                                  false, std::nullopt, {}, section);
    layout->addWidget(namesField_);
    writingArea_ =
        new PNTextArea(localized("Writing style & preferences"), std::nullopt, writingAreaHeight,
                       PNRadius::small, PNColor::textTertiary(), section);
    layout->addWidget(writingArea_);

    auto* row = rowLayout();
    profileSaveButton_ =
        new SettingsButton(localized("Save"), SettingsButton::Kind::prominent, section);
    connect(profileSaveButton_, &QAbstractButton::clicked, this, [this] { saveProfile(); });
    row->addWidget(profileSaveButton_);
    profileSavedIndicator_ = new PNSavedIndicator(savedMarkDuration, section);
    row->addWidget(profileSavedIndicator_);
    row->addStretch(1);
    layout->addLayout(row);
    return section;
}

QString GeneralTab::triggerPattern() const {
    return triggerField_->text();
}

QString GeneralTab::displayNames() const {
    return namesField_->text();
}

QString GeneralTab::writingContext() const {
    return writingArea_->text();
}

std::optional<QString> GeneralTab::errorMessage() const {
    return errorText_->message();
}

bool GeneralTab::saved() const {
    return savedIndicator_->isShowing();
}

bool GeneralTab::profileSaved() const {
    return profileSavedIndicator_->isShowing();
}

void GeneralTab::updateExample() {
    example_->setText(localized("Type this pattern followed by a command name (e.g., ") +
                      QLatin1Char('"') + triggerField_->text() + QStringLiteral("polish\")"));
}

void GeneralTab::setErrorMessage(std::optional<QString> message) {
    errorText_->setMessage(std::move(message));
}

void GeneralTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (appeared_)
        return;
    appeared_ = true;
    setEditable(false);
    loadTask_ = Task::spawn(main_, loadSettings(this, coordinator_.shared_from_this()));
}

void GeneralTab::setEditable(bool editable) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{triggerField_, saveButton_, resetButton_, namesField_,
                                         writingArea_, profileSaveButton_})
        control->setEnabled(editable);
}

Awaitable<void> GeneralTab::loadSettings(QPointer<GeneralTab> tab,
                                         std::shared_ptr<AppCoordinator> coordinator) {
    const bool synced = co_await coordinator->pullRemoteData();
    const unsigned generation = coordinator->localDataGeneration();
    std::optional<AppConfig> config;
    try {
        config = co_await coordinator->configService()->loadConfiguration();
    } catch (const std::exception&) {
    }
    if (!tab)
        co_return;
    if (!config) {
        tab->setErrorMessage(localized("Failed to load settings"));
        co_return;
    }
    tab->triggerField_->setText(QString::fromStdString(config->triggerPattern));
    tab->namesField_->setText(QString::fromStdString(config->userDisplayNames));
    tab->writingArea_->setText(QString::fromStdString(config->userWritingContext));
    tab->loadedGeneration_ = generation;
    // Only now: a save before would write the initial texts over the stored ones. After a
    // failed load the tab stays read-only for the same reason.
    tab->setEditable(true);
    if (!synced)
        tab->setErrorMessage(localized("Could not sync from cloud — showing local data"));
}

bool GeneralTab::canSave() {
    if (!saveButton_->isEnabled())
        return false;
    // The fields show another owner's data since a sign-out or another account's sign-in:
    // saved, they would become this owner's. Shown afresh instead.
    if (coordinator_.localDataGeneration() != loadedGeneration_) {
        setEditable(false);
        loadTask_ = Task::spawn(main_, loadSettings(this, coordinator_.shared_from_this()));
        return false;
    }
    return true;
}

void GeneralTab::saveTriggerPattern() {
    if (!canSave())
        return;
    // Not this tab's task: it runs to its end when the tab goes away.
    Task::spawn(main_, saveTriggerPatternTask(this, coordinator_.shared_from_this(),
                                              triggerField_->text().toStdString()));
}

Awaitable<void> GeneralTab::saveTriggerPatternTask(QPointer<GeneralTab> tab,
                                                   std::shared_ptr<AppCoordinator> coordinator,
                                                   std::string pattern) {
    // The storage refuses an empty pattern.
    auto change = [pattern](AppConfig& config) { config.triggerPattern = pattern; };
    if (!co_await storeConfigurationChange(*coordinator->configService(), change)) {
        if (tab)
            tab->setErrorMessage(localized("Failed to save trigger pattern"));
        co_return;
    }
    // The monitor gets the pattern that was stored, even if the field changed meanwhile.
    co_await coordinator->textMonitor()->updateTriggerPattern(pattern);
    if (!tab)
        co_return;
    tab->setErrorMessage(std::nullopt);
    tab->savedIndicator_->setShowing(true);
}

void GeneralTab::saveProfile() {
    if (!canSave())
        return;
    Task::spawn(main_, saveProfileTask(this, coordinator_.shared_from_this(),
                                       namesField_->text().toStdString(),
                                       writingArea_->text().toStdString()));
}

Awaitable<void> GeneralTab::saveProfileTask(QPointer<GeneralTab> tab,
                                            std::shared_ptr<AppCoordinator> coordinator,
                                            std::string displayNames, std::string writingContext) {
    auto change = [displayNames, writingContext](AppConfig& config) {
        config.userDisplayNames = displayNames;
        config.userWritingContext = writingContext;
    };
    // Noted before the store: a pull that applies meanwhile keeps this edit.
    coordinator->noteLocalProfileEdit();
    if (!co_await storeConfigurationChange(*coordinator->configService(), change)) {
        if (tab)
            tab->setErrorMessage(localized("Failed to save profile"));
        co_return;
    }
    if (tab)
        tab->profileSavedIndicator_->setShowing(true);
    // The cloud gets what is stored by then: the last save wins there too.
    const bool pushed = co_await coordinator->pushLocalProfile();
    if (!pushed && tab)
        tab->setErrorMessage(localized("Saved locally but failed to sync to cloud"));
}

} // namespace pennial
