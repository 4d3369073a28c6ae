#include "ui/overlay/palette_label.hpp"

#include <vector>

namespace pennial {

namespace {

// The text lowered one code point at a time, with the span of the original each unit of the
// lowered text came from: lowering can lengthen a character ("İ" becomes two units).
struct Lowered {
    QString text;
    std::vector<qsizetype> sourceStart;
    std::vector<qsizetype> sourceEnd;
};

Lowered lowered(const QString& text) {
    Lowered result;
    qsizetype index = 0;
    while (index < text.size()) {
        const qsizetype length =
            text.at(index).isHighSurrogate() && index + 1 < text.size() ? 2 : 1;
        const QString lower = text.mid(index, length).toLower();
        result.text += lower;
        result.sourceStart.insert(result.sourceStart.end(), lower.size(), index);
        result.sourceEnd.insert(result.sourceEnd.end(), lower.size(), index + length);
        index += length;
    }
    return result;
}

} // namespace

HighlightedLabel highlightedTemplateLabel(const QString& templateName, const QString& query) {
    if (query.isEmpty())
        return {templateName, {}, {}};
    const Lowered name = lowered(templateName);
    const QString needle = lowered(query).text;
    const qsizetype found = name.text.indexOf(needle, 0, Qt::CaseSensitive);
    if (found < 0 || needle.isEmpty())
        return {templateName, {}, {}};
    const qsizetype start = name.sourceStart[static_cast<std::size_t>(found)];
    const qsizetype end = name.sourceEnd[static_cast<std::size_t>(found + needle.size() - 1)];
    return {templateName.left(start), templateName.mid(start, end - start), templateName.mid(end)};
}

} // namespace pennial
