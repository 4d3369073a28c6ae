#include "windows/settings/commands_tab.hpp"

#include "app/app_coordinator.hpp"
#include "services/config_service.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/settings/command_editor.hpp"
#include "windows/settings/configuration_change.hpp"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QShowEvent>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>
#include <set>

namespace pennial {

namespace {

constexpr int listMinimumWidth = 200;
constexpr int listIdealWidth = 220;
constexpr int listMaximumWidth = 260;
constexpr int rowContentLines = 2;
constexpr int rowSpacing = 2;
constexpr int rowGap = 2; // below each row, inside its item

QString localized(const char* text) {
    return QCoreApplication::translate("CommandsTab", text);
}

int px(qreal points) {
    return static_cast<int>(points);
}

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    // A colour rule rather than the palette: the list's style sheet reaches its rows.
    label->setStyleSheet(
        QStringLiteral("color: %1; background: transparent;").arg(PNColor::styleSheetColor(color)));
    return label;
}

// One row of the list: the name, "insert" for insert commands, and the start of the content.
QWidget* makeRow(const Command& command, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(px(PNSpacing::sm), px(PNSpacing::xs), px(PNSpacing::sm),
                               px(PNSpacing::xs));
    layout->setSpacing(rowSpacing);
    auto* title = new QHBoxLayout();
    title->setSpacing(px(PNSpacing::xs));
    auto* name = makeLabel(QString::fromStdString(command.name), PNTypography::bodySemibold(),
                           PNColor::textPrimary(), row);
    name->setObjectName(QStringLiteral("commandName"));
    title->addWidget(name);
    if (!command.replaceText) {
        auto* mode = makeLabel(localized("insert"), PNTypography::captionSmall(),
                               PNColor::textTertiary(), row);
        mode->setObjectName(QStringLiteral("insertMark"));
        title->addWidget(mode);
    }
    title->addStretch(1);
    layout->addLayout(title);
    auto* content = makeLabel(QString::fromStdString(command.content), PNTypography::caption(),
                              PNColor::textSecondary(), row);
    content->setObjectName(QStringLiteral("commandContent"));
    content->setWordWrap(true);
    content->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    content->setMaximumHeight(content->fontMetrics().lineSpacing() * rowContentLines);
    content->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(content);
    return row;
}

QString listStyle() {
    return QStringLiteral("QListWidget { background: transparent; border: none; outline: none;"
                          " padding: %1px; }"
                          "QListWidget::item { border-radius: 6px; margin-bottom: %4px; }"
                          "QListWidget::item:selected { background: %2; }"
                          "QListWidget::item:hover:!selected { background: %3; }")
        .arg(px(PNSpacing::sm))
        .arg(PNColor::styleSheetColor(PNColor::rowBackgroundSelected()),
             PNColor::styleSheetColor(PNColor::rowBackground()))
        .arg(rowGap);
}

QString barButtonStyle() {
    return QStringLiteral("QToolButton { color: %1; background: transparent; border: none;"
                          " padding: 0px 4px; }"
                          "QToolButton:disabled { color: %2; }")
        .arg(PNColor::styleSheetColor(PNColor::textPrimary()),
             PNColor::styleSheetColor(PNColor::textTertiary()));
}

// "new", or "new2", "new3"... when taken: two commands of one name could not both be triggered.
std::string freshCommandName(const std::vector<Command>& commands) {
    std::set<std::string> taken;
    for (const auto& command : commands)
        taken.insert(command.name);
    std::string name = "new";
    for (int suffix = 2; taken.contains(name); ++suffix)
        name = "new" + std::to_string(suffix);
    return name;
}

std::set<std::string> namesOf(const std::vector<Command>& commands) {
    std::set<std::string> names;
    for (const auto& command : commands)
        names.insert(command.name);
    return names;
}

} // namespace

CommandsTab::CommandsTab(AppCoordinator& coordinator, QWidget* parent)
    : QWidget(parent), coordinator_(coordinator.shared_from_this()) {
    setObjectName(QStringLiteral("CommandsTab"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    split->setHandleWidth(1);
    split->setStyleSheet(QStringLiteral("QSplitter::handle { background: %1; }")
                             .arg(PNColor::styleSheetColor(PNColor::cardInnerBorder())));
    split->addWidget(buildCommandList());
    split->addWidget(buildDetailPanel());
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({listIdealWidth, 10000});
    root->addWidget(split, 1);

    errorLine_ = new PNErrorText(std::nullopt, this);
    errorLine_->setContentsMargins(px(PNSpacing::lg), px(PNSpacing::xs), px(PNSpacing::lg),
                                   px(PNSpacing::xs));
    root->addWidget(errorLine_);
    refreshList();
    refreshDetail();
}

CommandsTab::~CommandsTab() {
    loadTask_.cancel();
}

const std::vector<Command>& CommandsTab::commands() const {
    return shared_->commands;
}

QWidget* CommandsTab::buildCommandList() {
    auto* column = new QWidget(this);
    column->setMinimumWidth(listMinimumWidth);
    column->setMaximumWidth(listMaximumWidth);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    list_ = new QListWidget(column);
    list_->setObjectName(QStringLiteral("commandList"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setStyleSheet(listStyle());
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (refreshingList_ || row < 0 || row >= static_cast<int>(shared_->commands.size()))
            return;
        select(shared_->commands[static_cast<std::size_t>(row)].id);
    });
    layout->addWidget(list_, 1);

    auto* divider = new QFrame(column);
    divider->setFrameShape(QFrame::HLine);
    divider->setFixedHeight(1);
    divider->setStyleSheet(QStringLiteral("background: %1; border: none;")
                               .arg(PNColor::styleSheetColor(PNColor::cardInnerBorder())));
    layout->addWidget(divider);

    auto* bar = new QWidget(column);
    auto* buttons = new QHBoxLayout(bar);
    buttons->setContentsMargins(px(PNSpacing::sm), px(PNSpacing::xs), px(PNSpacing::sm),
                                px(PNSpacing::xs));
    buttons->setSpacing(px(PNSpacing::sm));
    auto makeButton = [&](const QString& glyph, const QString& label) {
        auto* button = new QToolButton(bar);
        button->setText(glyph);
        button->setAccessibleName(label);
        button->setToolTip(label);
        button->setAutoRaise(true);
        button->setFont(PNTypography::heading());
        button->setStyleSheet(barButtonStyle());
        buttons->addWidget(button);
        return button;
    };
    addButton_ = makeButton(QStringLiteral("+"), localized("Add command"));
    connect(addButton_, &QToolButton::clicked, this, [this] { addCommand(); });
    deleteButton_ = makeButton(QStringLiteral("−"), localized("Delete command"));
    connect(deleteButton_, &QToolButton::clicked, this, [this] { deleteSelected(); });
    buttons->addStretch(1);
    layout->addWidget(bar);
    return column;
}

QWidget* CommandsTab::buildDetailPanel() {
    detailPanel_ = new QWidget(this);
    auto* layout = new QVBoxLayout(detailPanel_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    placeholder_ =
        makeLabel(localized("Select a command"), font(), PNColor::textSecondary(), detailPanel_);
    placeholder_->setAlignment(Qt::AlignCenter);
    layout->addWidget(placeholder_, 1);
    return detailPanel_;
}

void CommandsTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Each appearance loads again, pull first; the load ends with the appearance.
    startLoad();
}

void CommandsTab::startLoad() {
    loadTask_.cancel();
    if (auto coordinator = coordinator_.lock()) {
        loaded_ = false;
        refreshEditability();
        loadTask_ = Task::spawn(coordinator->mainExecutor(), loadCommands(coordinator, this));
    }
}

bool CommandsTab::canChange() {
    if (!loaded_)
        return false;
    // The list shown is another owner's since a sign-out or another account's sign-in: changed
    // and saved, it would become this owner's. Shown afresh instead.
    auto coordinator = coordinator_.lock();
    if (coordinator && coordinator->localDataGeneration() != loadedGeneration_) {
        selectedID_.reset();
        startLoad();
        return false;
    }
    return true;
}

void CommandsTab::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        loadTask_.cancel();
}

Awaitable<void> CommandsTab::loadCommands(std::shared_ptr<AppCoordinator> coordinator,
                                          QPointer<CommandsTab> tab) {
    const bool pulled = co_await coordinator->pullRemoteData();
    // Whose data is read next; a change of owner after it makes the list shown stale.
    const unsigned generation = coordinator->localDataGeneration();
    std::optional<AppConfig> config;
    try {
        config = co_await coordinator->configService()->loadConfiguration();
    } catch (...) {
        if (isCancellation(std::current_exception()))
            throw;
    }
    if (!tab)
        co_return;
    if (!config) {
        tab->setErrorMessage(localized("Failed to load commands"));
        co_return;
    }
    tab->loadedGeneration_ = generation;
    tab->applyLoaded(std::move(config->commands), pulled);
}

void CommandsTab::applyLoaded(std::vector<Command> commands, bool pulled) {
    shared_->commands = std::move(commands);
    loaded_ = true;
    // A selection made before the load stays, even when no loaded command has its id.
    if (!selectedID_ && !shared_->commands.empty())
        selectedID_ = shared_->commands.front().id;
    refreshList();
    refreshDetail();
    if (!pulled)
        setErrorMessage(localized("Could not sync from cloud — showing local data"));
}

void CommandsTab::addCommand() {
    // A list still loading, or one that could not be read, would be saved over the stored one.
    if (!canChange())
        return;
    Command command;
    command.name = freshCommandName(shared_->commands);
    command.replaceText = true;
    const Uuid id = command.id;
    shared_->commands.push_back(std::move(command));
    selectedID_ = id;
    refreshList();
    refreshDetail();
    saveAllCommands();
}

void CommandsTab::deleteSelected() {
    if (!selectedID_)
        return;
    if (auto index = indexOf(*selectedID_))
        deleteCommand(*index);
}

void CommandsTab::updateCommand(std::size_t index, std::string name, std::string content,
                                bool replaceText) {
    auto& commands = shared_->commands;
    if (index >= commands.size() || !canChange())
        return;
    // An edit keeps the identity and drops the metadata.
    Command edited;
    edited.id = commands[index].id;
    edited.name = std::move(name);
    edited.content = std::move(content);
    edited.replaceText = replaceText;
    commands[index] = std::move(edited);
    refreshList();
    refreshDetail();
    saveAllCommands();
}

void CommandsTab::deleteCommand(std::size_t index) {
    auto& commands = shared_->commands;
    if (index >= commands.size() || !canChange())
        return;
    const Uuid removed = commands[index].id;
    commands.erase(commands.begin() + static_cast<std::ptrdiff_t>(index));
    if (selectedID_ == removed)
        selectedID_ = commands.empty() ? std::nullopt : std::optional<Uuid>(commands.front().id);
    refreshList();
    refreshDetail();
    saveAllCommands();
}

void CommandsTab::select(std::optional<Uuid> id) {
    if (selectedID_ == id)
        return;
    selectedID_ = id;
    // The rows stay: a click lands here while the list is still handling it.
    syncListSelection();
    refreshDetail();
}

void CommandsTab::syncListSelection() {
    int selectedRow = -1;
    if (selectedID_)
        if (auto index = indexOf(*selectedID_))
            selectedRow = static_cast<int>(*index);
    refreshingList_ = true;
    if (list_->currentRow() != selectedRow)
        list_->setCurrentRow(selectedRow);
    refreshingList_ = false;
    refreshEditability();
}

void CommandsTab::refreshEditability() {
    addButton_->setEnabled(loaded_);
    // Enabled while anything is selected, even an id the list no longer holds.
    deleteButton_->setEnabled(loaded_ && selectedID_.has_value());
    list_->setEnabled(loaded_);
    detailPanel_->setEnabled(loaded_);
}

void CommandsTab::setErrorMessage(QString message) {
    errorMessage_ = std::move(message);
    errorLine_->setMessage(errorMessage_);
}

void CommandsTab::saveAllCommands() {
    // Not tied to the view: a save started as the window closes still runs to its end.
    if (auto coordinator = coordinator_.lock())
        Task::spawn(coordinator->mainExecutor(), saveCommands(coordinator, shared_, this));
}

Awaitable<void> CommandsTab::saveCommands(std::shared_ptr<AppCoordinator> coordinator,
                                          std::shared_ptr<Shared> shared,
                                          QPointer<CommandsTab> tab) {
    auto replaceCommands = [commands = shared->commands](AppConfig& config) {
        config.commands = commands;
    };
    // Noted before the store: a pull that applies meanwhile keeps this edit.
    coordinator->noteLocalCommandsEdit();
    if (!co_await storeConfigurationChange(*coordinator->configService(), replaceCommands)) {
        if (tab)
            tab->setErrorMessage(localized("Failed to save commands"));
        co_return;
    }
    // The list as it stands now: a later change's save writes that list to the file too.
    co_await coordinator->textMonitor()->updateValidCommandNames(namesOf(shared->commands));
    // The coordinator pushes what is saved by then, so the cloud ends with the last edit; until a
    // push goes through, the next pull pushes the local list instead of overwriting it.
    if (!co_await coordinator->pushLocalCommands() && tab)
        tab->setErrorMessage(localized("Saved locally but failed to sync to cloud"));
}

void CommandsTab::refreshList() {
    refreshingList_ = true;
    list_->clear();
    for (const auto& command : shared_->commands) {
        auto* item = new QListWidgetItem(list_);
        auto* row = makeRow(command, list_);
        // No width of its own: a row is as wide as the list, and its text wraps inside it (a
        // wider row would be cut at the list's edge).
        item->setSizeHint(QSize(0, row->sizeHint().height() + rowGap));
        list_->setItemWidget(item, row);
    }
    refreshingList_ = false;
    syncListSelection();
}

void CommandsTab::refreshDetail() {
    std::optional<std::size_t> index = selectedID_ ? indexOf(*selectedID_) : std::nullopt;
    if (!index) {
        if (editor_) {
            editor_->hide();
            editor_->deleteLater();
            editor_ = nullptr;
        }
        placeholder_->show();
        return;
    }
    const Command& command = shared_->commands[*index];
    std::set<std::string> otherNames;
    for (std::size_t i = 0; i < shared_->commands.size(); ++i)
        if (i != *index)
            otherNames.insert(shared_->commands[i].name);

    // The editor is the command's own: the same command keeps its editor and what was typed in
    // it, another one gets a fresh editor.
    if (editor_ && editor_->command().id == command.id) {
        editor_->setCommand(command, std::move(otherNames));
        return;
    }
    if (editor_) {
        editor_->hide();
        editor_->deleteLater();
    }
    // The callbacks find the command by id when called: indexes move with every change.
    const Uuid id = command.id;
    auto onSave = [this, id](std::string name, std::string content, bool replaceText) {
        if (auto at = indexOf(id))
            updateCommand(*at, std::move(name), std::move(content), replaceText);
    };
    auto onDelete = [this, id] {
        if (auto at = indexOf(id))
            deleteCommand(*at);
    };
    auto coordinator = coordinator_.lock();
    editor_ = new CommandDetailView(command, std::move(otherNames),
                                    coordinator ? coordinator->workspace() : nullptr, onSave,
                                    onDelete, detailPanel_);
    detailPanel_->layout()->addWidget(editor_);
    placeholder_->hide();
    editor_->show();
}

std::optional<std::size_t> CommandsTab::indexOf(const Uuid& id) const {
    const auto& commands = shared_->commands;
    for (std::size_t i = 0; i < commands.size(); ++i)
        if (commands[i].id == id)
            return i;
    return std::nullopt;
}

std::unique_ptr<QWidget> makeCommandsTab(AppCoordinator& coordinator) {
    return std::make_unique<CommandsTab>(coordinator);
}

} // namespace pennial
