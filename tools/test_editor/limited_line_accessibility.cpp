#include "limited_line_accessibility.hpp"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLoggingCategory>
#include <QPointer>

namespace {

QPointer<QLineEdit> limitedField;
AccessibleText limitedAccess = AccessibleText::editable;

// A text field whose text only the keyboard reaches.
class OpaqueLineAccessible : public QAccessibleWidget {
public:
    explicit OpaqueLineAccessible(QLineEdit* field)
        : QAccessibleWidget(field, QAccessible::EditableText) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = true;
        state.focusable = true;
        return state;
    }

protected:
    QLineEdit* field() const { return static_cast<QLineEdit*>(widget()); }
};

// Its text, caret and selection can be read and set, its text not written.
class ReadOnlyLineAccessible : public OpaqueLineAccessible, public QAccessibleTextInterface {
public:
    using OpaqueLineAccessible::OpaqueLineAccessible;

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return OpaqueLineAccessible::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? field()->text() : OpaqueLineAccessible::text(kind);
    }

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && field()->hasSelectedText()) {
            *start = field()->selectionStart();
            *end = field()->selectionEnd();
        }
    }
    int selectionCount() const override { return field()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { field()->deselect(); }
    void setSelection(int, int start, int end) override {
        field()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return field()->cursorPosition(); }
    void setCursorPosition(int position) override { field()->setCursorPosition(position); }
    QString text(int start, int end) const override {
        return field()->text().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(field()->text().size()); }
    QRect characterRect(int offset) const override {
        // Close enough for a caret position: the field's text starts near its left edge.
        const QFontMetrics metrics(field()->font());
        const QString text = field()->text();
        const int x = metrics.horizontalAdvance(text.left(offset));
        const int width = metrics.horizontalAdvance(text.mid(offset, 1));
        const QPoint origin = field()->mapToGlobal(QPoint(4 + x, 0));
        return QRect(origin, QSize(width, field()->height()));
    }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }
};

// Edited through its accessible interface, except that the first insertion goes nowhere.
class LosingInsertionLineAccessible : public ReadOnlyLineAccessible,
                                      public QAccessibleEditableTextInterface {
public:
    using ReadOnlyLineAccessible::ReadOnlyLineAccessible;

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return ReadOnlyLineAccessible::interface_cast(type);
    }

    void deleteText(int start, int end) override {
        field()->setText(field()->text().remove(start, end - start));
        field()->setCursorPosition(start);
    }
    void insertText(int offset, const QString& text) override {
        if (!lostOne_) {
            lostOne_ = true;
            return;
        }
        field()->setText(field()->text().insert(offset, text));
        field()->setCursorPosition(offset + static_cast<int>(text.size()));
    }
    void replaceText(int start, int end, const QString& text) override {
        field()->setText(field()->text().replace(start, end - start, text));
    }

private:
    bool lostOne_ = false;
};

QAccessibleInterface* limitedInterface(const QString&, QObject* object) {
    if (!limitedField || object != limitedField.data())
        return nullptr;
    if (limitedAccess == AccessibleText::readOnly)
        return new ReadOnlyLineAccessible(limitedField);
    if (limitedAccess == AccessibleText::none)
        return new OpaqueLineAccessible(limitedField);
    if (limitedAccess == AccessibleText::losingFirstInsertion)
        return new LosingInsertionLineAccessible(limitedField);
    return nullptr;
}

} // namespace

void limitAccessibleText(QLineEdit* field, AccessibleText access) {
    limitedField = field;
    limitedAccess = access;
    if (access != AccessibleText::editable)
        QAccessible::installFactory(&limitedInterface);
    // Qt's bridge says so on every caret move of a field without text.
    if (access == AccessibleText::none)
        QLoggingCategory::setFilterRules("qt.accessibility.atspi.warning=false");
}
