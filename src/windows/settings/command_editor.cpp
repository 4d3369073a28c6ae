#include "windows/settings/command_editor.hpp"

#include "platform/workspace.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_saved_indicator.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_text_area.hpp"
#include "ui/design/pn_typography.hpp"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>

namespace pennial {

namespace {

constexpr int modeControlWidth = 140;
constexpr std::chrono::seconds savedMarkDuration{2};

QString localized(const char* text) {
    return QCoreApplication::translate("CommandDetailView", text);
}

int px(qreal points) {
    return static_cast<int>(points);
}

// Lower-case a to z and digits, at least one: what the trigger detection can match as typed.
bool isLowercaseAlphanumeric(const std::string& name) {
    if (name.empty())
        return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

// A small waste bin in the given colour, in place of a system symbol.
QIcon trashIcon(const QColor& color) {
    const qreal ratio = 2;
    QPixmap pixmap(QSize(14, 14) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 1.3);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawLine(QPointF(2, 3.5), QPointF(12, 3.5));
    painter.drawLine(QPointF(5.5, 3.5), QPointF(5.5, 1.8));
    painter.drawLine(QPointF(5.5, 1.8), QPointF(8.5, 1.8));
    painter.drawLine(QPointF(8.5, 1.8), QPointF(8.5, 3.5));
    painter.drawRoundedRect(QRectF(3.3, 3.5, 7.4, 9), 1.2, 1.2);
    painter.drawLine(QPointF(5.8, 6), QPointF(5.8, 10.5));
    painter.drawLine(QPointF(8.2, 6), QPointF(8.2, 10.5));
    return QIcon(pixmap);
}

QString segmentStyle() {
    return QStringLiteral("QPushButton { color: %1; background: %2; border: 1px solid %3;"
                          " padding: 3px 0px; }"
                          "QPushButton:checked { background: %4; color: %5; }"
                          "QPushButton#rewriteSegment { border-top-left-radius: %6px;"
                          " border-bottom-left-radius: %6px; border-right: none; }"
                          "QPushButton#insertSegment { border-top-right-radius: %6px;"
                          " border-bottom-right-radius: %6px; }")
        .arg(PNColor::styleSheetColor(PNColor::textSecondary()),
             PNColor::styleSheetColor(PNColor::rowBackground()),
             PNColor::styleSheetColor(PNColor::cardInnerBorder()),
             PNColor::styleSheetColor(PNColor::rowBackgroundSelected()),
             PNColor::styleSheetColor(PNColor::textPrimary()))
        .arg(px(PNRadius::small));
}

QString saveButtonStyle() {
    return QStringLiteral("QPushButton { color: white; background: %1; border: none;"
                          " border-radius: %2px; padding: 4px 14px; }"
                          "QPushButton:pressed { background: %3; }"
                          "QPushButton:disabled { background: %4; color: %5; }")
        .arg(PNColor::styleSheetColor(PNColor::accent()))
        .arg(px(PNRadius::small))
        .arg(PNColor::styleSheetColor(PNColor::accent().darker(120)),
             PNColor::styleSheetColor(PNColor::rowBackgroundSelected()),
             PNColor::styleSheetColor(PNColor::textTertiary()));
}

QString borderlessStyle(const QColor& color) {
    return QStringLiteral("QPushButton { color: %1; background: transparent; border: none;"
                          " padding: 0px; text-align: left; }")
        .arg(PNColor::styleSheetColor(color));
}

} // namespace

std::optional<QString> commandValidationError(const std::string& name, const std::string& content,
                                              const std::string& currentName,
                                              const std::set<std::string>& otherNames) {
    if (name.empty())
        return localized("Name cannot be empty");
    if (!isLowercaseAlphanumeric(name))
        return localized("Name must be lowercase letters and numbers only");
    if (name != currentName && otherNames.contains(name))
        return localized("Another command already has this name");
    if (content.empty())
        return localized("Content cannot be empty");
    return std::nullopt;
}

CommandDetailView::CommandDetailView(Command command, std::set<std::string> otherNames,
                                     std::shared_ptr<Workspace> workspace, OnSave onSave,
                                     OnDelete onDelete, QWidget* parent)
    : QWidget(parent), command_(std::move(command)), otherNames_(std::move(otherNames)),
      workspace_(std::move(workspace)), onSave_(std::move(onSave)), onDelete_(std::move(onDelete)) {
    setObjectName(QStringLiteral("CommandDetailView"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildForm());
    root->addStretch(1);

    errorLine_ = new PNErrorText(std::nullopt, this);
    errorLine_->setContentsMargins(px(PNSpacing::lg), 0, px(PNSpacing::lg), 0);
    root->addWidget(errorLine_);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFixedHeight(1);
    divider->setStyleSheet(QStringLiteral("background: %1; border: none;")
                               .arg(PNColor::styleSheetColor(PNColor::cardInnerBorder())));
    root->addWidget(divider);
    root->addWidget(buildActionBar());
    updateSaveButton();
}

QWidget* CommandDetailView::buildForm() {
    auto* form = new QWidget(this);
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(px(PNSpacing::lg), px(PNSpacing::lg), px(PNSpacing::lg),
                               px(PNSpacing::lg));
    layout->setSpacing(px(PNSpacing::lg));

    nameField_ = new PNFormField(localized("Title"), localized("Command name"),
                                 PNTypography::body(), false, std::nullopt, {}, form);
    connect(nameField_, &PNFormField::textEdited, this, [this](const QString& text) {
        name_ = text;
        updateSaveButton();
    });
    layout->addWidget(nameField_);

    auto* modeRow = new QHBoxLayout();
    modeRow->setSpacing(px(PNSpacing::sm));
    modeRow->addWidget(
        makeLabel(localized("Mode"), PNTypography::caption(), PNColor::textSecondary(), form));
    auto* segments = new QWidget(form);
    segments->setFixedWidth(modeControlWidth);
    segments->setStyleSheet(segmentStyle());
    auto* segmentLayout = new QHBoxLayout(segments);
    segmentLayout->setContentsMargins(0, 0, 0, 0);
    segmentLayout->setSpacing(0);
    auto* group = new QButtonGroup(segments);
    auto makeSegment = [&](const QString& title, const char* objectName, bool value) {
        auto* segment = new QPushButton(title, segments);
        segment->setObjectName(QLatin1String(objectName));
        segment->setCheckable(true);
        segment->setFont(PNTypography::label());
        segment->setFocusPolicy(Qt::TabFocus);
        group->addButton(segment);
        segmentLayout->addWidget(segment, 1);
        connect(segment, &QPushButton::toggled, this, [this, value](bool checked) {
            if (checked)
                replaceText_ = value;
        });
        return segment;
    };
    rewriteSegment_ = makeSegment(localized("Rewrite"), "rewriteSegment", true);
    insertSegment_ = makeSegment(localized("Insert"), "insertSegment", false);
    rewriteSegment_->setChecked(true);
    modeRow->addWidget(segments);
    modeRow->addStretch(1);
    layout->addLayout(modeRow);

    instructionsArea_ = new PNTextArea(
        localized("Instructions"),
        localized("Tell the AI what to do — e.g. Fix grammar, or use <tags> for AI to fill"),
        std::nullopt, PNRadius::small, PNColor::textTertiary(), form);
    connect(instructionsArea_, &PNTextArea::textEdited, this, [this](const QString& text) {
        contentText_ = text;
        updateSaveButton();
    });
    layout->addWidget(instructionsArea_, 1);

    auto* help = new QVBoxLayout();
    help->setSpacing(px(PNSpacing::xs));
    auto* helpText = makeLabel(
        localized("Write instructions or template text. Use tags placed between < and > to "
                  "provide additional instructions for AI, i.e.: <match sender's tone> or "
                  "<sender's name here>. AI will try to fill in the requested data using the "
                  "surrounding context."),
        PNTypography::caption(), PNColor::textSecondary(), form);
    helpText->setTextFormat(Qt::PlainText);
    helpText->setWordWrap(true);
    help->addWidget(helpText);
    libraryLink_ = new QPushButton(localized("Commands library →"), form);
    libraryLink_->setObjectName(QStringLiteral("commandsLibraryLink"));
    libraryLink_->setFont(PNTypography::caption());
    libraryLink_->setFlat(true);
    libraryLink_->setCursor(Qt::PointingHandCursor);
    libraryLink_->setStyleSheet(borderlessStyle(PNColor::accent()));
    connect(libraryLink_, &QPushButton::clicked, this, [this] {
        if (workspace_)
            workspace_->openURL(commandsLibraryURL);
    });
    help->addWidget(libraryLink_, 0, Qt::AlignLeft);
    layout->addLayout(help);
    return form;
}

QWidget* CommandDetailView::buildActionBar() {
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(px(PNSpacing::lg), px(PNSpacing::sm), px(PNSpacing::lg),
                               px(PNSpacing::sm));

    deleteButton_ = new QPushButton(trashIcon(PNColor::error()), localized("Delete"), bar);
    deleteButton_->setObjectName(QStringLiteral("deleteCommandButton"));
    deleteButton_->setFlat(true);
    deleteButton_->setFont(PNTypography::body());
    deleteButton_->setStyleSheet(borderlessStyle(PNColor::error()));
    // No confirmation: the owner deletes at once.
    connect(deleteButton_, &QPushButton::clicked, this, [this] {
        if (onDelete_)
            onDelete_();
    });
    layout->addWidget(deleteButton_);
    layout->addStretch(1);

    savedIndicator_ = new PNSavedIndicator(savedMarkDuration, bar);
    connect(savedIndicator_, &PNSavedIndicator::showingChanged, this,
            [this](bool showing) { saved_ = showing; });
    layout->addWidget(savedIndicator_);

    saveButton_ = new QPushButton(localized("Save"), bar);
    saveButton_->setObjectName(QStringLiteral("saveCommandButton"));
    saveButton_->setFont(PNTypography::body());
    saveButton_->setDefault(true);
    saveButton_->setStyleSheet(saveButtonStyle());
    connect(saveButton_, &QPushButton::clicked, this, [this] { save(); });
    layout->addWidget(saveButton_);
    return bar;
}

void CommandDetailView::setCommand(Command command, std::set<std::string> otherNames) {
    const bool sameCommand = command.id == command_.id;
    command_ = std::move(command);
    otherNames_ = std::move(otherNames);
    if (!sameCommand)
        resetFields();
}

void CommandDetailView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        resetFields();
    }
}

void CommandDetailView::save() {
    const std::string name = name_.toStdString();
    const std::string content = contentText_.toStdString();
    if (auto error = commandValidationError(name, content, command_.name, otherNames_)) {
        setValidationError(std::move(error));
        return;
    }
    setValidationError(std::nullopt);
    // The owner may replace this view's command while it stores the list; keep nothing of it.
    auto onSave = onSave_;
    if (onSave)
        onSave(name, content, replaceText_);
    saved_ = true;
    savedIndicator_->setShowing(true);
}

void CommandDetailView::resetFields() {
    name_ = QString::fromStdString(command_.name);
    contentText_ = QString::fromStdString(command_.content);
    replaceText_ = command_.replaceText;
    nameField_->setText(name_);
    instructionsArea_->setText(contentText_);
    (replaceText_ ? rewriteSegment_ : insertSegment_)->setChecked(true);
    setValidationError(std::nullopt);
    saved_ = false;
    savedIndicator_->setShowing(false);
    updateSaveButton();
}

void CommandDetailView::setValidationError(std::optional<QString> message) {
    validationError_ = std::move(message);
    errorLine_->setMessage(validationError_);
}

void CommandDetailView::updateSaveButton() {
    saveButton_->setEnabled(!name_.isEmpty() && !contentText_.isEmpty());
}

} // namespace pennial
