#pragma once
// The command editor: the right-hand pane of the Commands tab while a command is selected. Edits a
// working copy of one command's name, mode and instructions, checks them on Save and hands them
// to its owner, which stores the list; stores nothing itself.

#include "text/command.hpp"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

class QAbstractButton;
class QPushButton;

namespace pennial {

class PNErrorText;
class PNFormField;
class PNSavedIndicator;
class PNTextArea;
class Workspace;

// The commands-library page of the product's website.
inline constexpr const char* commandsLibraryURL = "https://pennial.com/library";

// Why these values cannot be saved, or none. otherNames are the names of every other command of
// the list: renaming into one of them makes a command that could never be triggered. A name the
// command already has is kept, even when a pulled list gave another command the same name.
std::optional<QString> commandValidationError(const std::string& name, const std::string& content,
                                              const std::string& currentName,
                                              const std::set<std::string>& otherNames);

class CommandDetailView : public QWidget {
public:
    using OnSave = std::function<void(std::string name, std::string content, bool replaceText)>;
    using OnDelete = std::function<void()>;

    // The fields start empty and are filled from the command when first shown.
    CommandDetailView(Command command, std::set<std::string> otherNames,
                      std::shared_ptr<Workspace> workspace, OnSave onSave, OnDelete onDelete,
                      QWidget* parent = nullptr);

    const Command& command() const { return command_; }
    // The owner's new value of the command: another id starts the fields over, the same id keeps
    // what the user typed.
    void setCommand(Command command, std::set<std::string> otherNames);

    const QString& name() const { return name_; }
    const QString& contentText() const { return contentText_; }
    bool replaceText() const { return replaceText_; }
    const std::optional<QString>& validationError() const { return validationError_; }
    bool saved() const { return saved_; }

    PNFormField* nameField() const { return nameField_; }
    QAbstractButton* rewriteSegment() const { return rewriteSegment_; }
    QAbstractButton* insertSegment() const { return insertSegment_; }
    PNTextArea* instructionsArea() const { return instructionsArea_; }
    QPushButton* libraryLink() const { return libraryLink_; }
    PNErrorText* errorLine() const { return errorLine_; }
    PNSavedIndicator* savedIndicator() const { return savedIndicator_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* saveButton() const { return saveButton_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildForm();
    QWidget* buildActionBar();
    void save();
    void resetFields();
    void setValidationError(std::optional<QString> message);
    void updateSaveButton();

    Command command_;
    std::set<std::string> otherNames_;
    std::shared_ptr<Workspace> workspace_;
    OnSave onSave_;
    OnDelete onDelete_;

    QString name_;
    QString contentText_;
    bool replaceText_ = true;
    std::optional<QString> validationError_;
    bool saved_ = false;
    bool shownOnce_ = false;

    PNFormField* nameField_ = nullptr;
    QAbstractButton* rewriteSegment_ = nullptr;
    QAbstractButton* insertSegment_ = nullptr;
    PNTextArea* instructionsArea_ = nullptr;
    QPushButton* libraryLink_ = nullptr;
    PNErrorText* errorLine_ = nullptr;
    PNSavedIndicator* savedIndicator_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
};

} // namespace pennial
