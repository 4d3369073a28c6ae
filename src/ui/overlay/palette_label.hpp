#pragma once
// A palette row's label split around the typed query: the first place the query occurs in the
// name, compared in lower case, is set in bold and keeps the name's own letters.

#include <QString>

namespace pennial {

struct HighlightedLabel {
    QString before;
    QString match; // empty when the query is empty or does not occur
    QString after;
    bool operator==(const HighlightedLabel&) const = default;
};

HighlightedLabel highlightedTemplateLabel(const QString& templateName, const QString& query);

} // namespace pennial
