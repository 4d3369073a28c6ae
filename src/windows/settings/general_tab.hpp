#pragma once
// The settings window's General tab: the trigger pattern and the user's profile. Each time it
// comes into view it pulls the remote data and shows the local configuration; each Save writes
// its own fields into the configuration, then tells the text monitor (pattern) or pushes to the
// hosted database (profile). A failed push leaves the local save standing.

#include "base/runtime.hpp"
#include "base/task.hpp"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;

namespace pennial {

class AppCoordinator;
class PNErrorText;
class PNFormField;
class PNSavedIndicator;
class PNTextArea;
class SettingsButton;

class GeneralTab : public QWidget {
public:
    // Tasks run on main, the executor of the thread the tab lives on.
    GeneralTab(AppCoordinator& coordinator, Executor main, QWidget* parent = nullptr);
    ~GeneralTab() override;

    QString triggerPattern() const;
    QString displayNames() const;
    QString writingContext() const;
    std::optional<QString> errorMessage() const;
    // While the "Saved" marks are up.
    bool saved() const;
    bool profileSaved() const;
    // Until the pull and the local load that the tab's appearance started have ended.
    bool isLoading() const { return loadTask_.isRunning(); }

    QLineEdit* triggerField() const { return triggerField_; }
    QLabel* example() const { return example_; }
    SettingsButton* saveButton() const { return saveButton_; }
    SettingsButton* resetButton() const { return resetButton_; }
    PNFormField* namesField() const { return namesField_; }
    PNTextArea* writingArea() const { return writingArea_; }
    SettingsButton* profileSaveButton() const { return profileSaveButton_; }
    PNSavedIndicator* savedIndicator() const { return savedIndicator_; }
    PNSavedIndicator* profileSavedIndicator() const { return profileSavedIndicator_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildTriggerSection();
    QWidget* buildProfileSection();
    void updateExample();
    void setErrorMessage(std::optional<QString> message);
    void setEditable(bool editable);
    bool canSave();

    void saveTriggerPattern();
    void saveProfile();
    static Awaitable<void> loadSettings(QPointer<GeneralTab> tab,
                                        std::shared_ptr<AppCoordinator> coordinator);
    static Awaitable<void> saveTriggerPatternTask(QPointer<GeneralTab> tab,
                                                  std::shared_ptr<AppCoordinator> coordinator,
                                                  std::string pattern);
    static Awaitable<void> saveProfileTask(QPointer<GeneralTab> tab,
                                           std::shared_ptr<AppCoordinator> coordinator,
                                           std::string displayNames, std::string writingContext);

    AppCoordinator& coordinator_;
    Executor main_;
    Task loadTask_;
    bool appeared_ = false;
    unsigned loadedGeneration_ = 0;

    QLineEdit* triggerField_ = nullptr;
    SettingsButton* saveButton_ = nullptr;
    SettingsButton* resetButton_ = nullptr;
    PNSavedIndicator* savedIndicator_ = nullptr;
    QLabel* example_ = nullptr;
    PNErrorText* errorText_ = nullptr;
    PNFormField* namesField_ = nullptr;
    PNTextArea* writingArea_ = nullptr;
    SettingsButton* profileSaveButton_ = nullptr;
    PNSavedIndicator* profileSavedIndicator_ = nullptr;
};

} // namespace pennial
