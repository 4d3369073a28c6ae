#pragma once
// The settings window's Commands tab: the user's commands in a list, the editor of the selected
// one beside it, and add and delete buttons. Each appearance pulls the remote data and shows the
// local configuration's commands; every change is saved at once: to the configuration, to the text
// monitor's command names and to the cloud.

#include "base/task.hpp"
#include "base/uuid.hpp"
#include "text/command.hpp"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QListWidget;
class QToolButton;
class QLabel;

namespace pennial {

class AppCoordinator;
class CommandDetailView;
class PNErrorText;

class CommandsTab : public QWidget {
public:
    // Starts empty; the commands come with the first appearance.
    explicit CommandsTab(AppCoordinator& coordinator, QWidget* parent = nullptr);
    ~CommandsTab() override;

    const std::vector<Command>& commands() const;
    const std::optional<Uuid>& selectedID() const { return selectedID_; }
    const std::optional<QString>& errorMessage() const { return errorMessage_; }
    // Whether the load of the current appearance is still running.
    bool isLoading() const { return loadTask_.isRunning(); }
    // Whether the list shown is the stored one: until then nothing can be added, edited or
    // deleted, since saving the list would replace the stored one.
    bool isLoaded() const { return loaded_; }

    // The button actions and the editor's callbacks.
    void addCommand();
    void deleteSelected();
    void updateCommand(std::size_t index, std::string name, std::string content, bool replaceText);
    void deleteCommand(std::size_t index);
    void select(std::optional<Uuid> id);

    QListWidget* list() const { return list_; }
    QToolButton* addButton() const { return addButton_; }
    QToolButton* deleteButton() const { return deleteButton_; }
    PNErrorText* errorLine() const { return errorLine_; }
    // The editor of the selected command; none while the placeholder shows.
    CommandDetailView* editor() const { return editor_; }
    QLabel* placeholder() const { return placeholder_; }

    // What a save task shares with the tab: outlives it, so a save started just before the
    // window closes still reads the list it was started for.
    struct Shared {
        std::vector<Command> commands;
    };

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static Awaitable<void> loadCommands(std::shared_ptr<AppCoordinator> coordinator,
                                        QPointer<CommandsTab> tab);
    static Awaitable<void> saveCommands(std::shared_ptr<AppCoordinator> coordinator,
                                        std::shared_ptr<Shared> shared, QPointer<CommandsTab> tab);
    QWidget* buildCommandList();
    QWidget* buildDetailPanel();
    void setErrorMessage(QString message);
    void applyLoaded(std::vector<Command> commands, bool pulled);
    void saveAllCommands();
    void refreshList();
    void syncListSelection();
    void refreshEditability();
    void startLoad();
    // Whether the list shown may be changed and saved now.
    bool canChange();
    void refreshDetail();
    std::optional<std::size_t> indexOf(const Uuid& id) const;

    // Weakly: the coordinator owns the settings window this tab lives in.
    std::weak_ptr<AppCoordinator> coordinator_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::optional<Uuid> selectedID_;
    std::optional<QString> errorMessage_;
    Task loadTask_;
    bool refreshingList_ = false;
    bool loaded_ = false;
    unsigned loadedGeneration_ = 0;

    QListWidget* list_ = nullptr;
    QToolButton* addButton_ = nullptr;
    QToolButton* deleteButton_ = nullptr;
    QWidget* detailPanel_ = nullptr;
    CommandDetailView* editor_ = nullptr;
    QLabel* placeholder_ = nullptr;
    PNErrorText* errorLine_ = nullptr;
};

// Makes the tab for the settings window to host.
std::unique_ptr<QWidget> makeCommandsTab(AppCoordinator& coordinator);

} // namespace pennial
