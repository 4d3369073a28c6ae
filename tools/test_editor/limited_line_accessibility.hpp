#pragma once
// Accessible interfaces for a one-line field that give assistive tools less than Qt's own: its
// text without a way to edit it (they must type or paste instead), or nothing of its text at all
// (they can only follow the keys typed into it). Installed for one field through Qt's factory.

#include <QLineEdit>

enum class AccessibleText {
    editable, // Qt's own interface
    readOnly, // text, caret and selection, but no editable text
    none,     // a text field that tells nothing of its text
    // Editable, but the first insertion is lost after the deletion before it landed (an
    // application too slow to answer it).
    losingFirstInsertion,
};

// Makes Qt use the limited interface for this field; call before the field is shown.
void limitAccessibleText(QLineEdit* field, AccessibleText access);
