#include "platform/sim/sim_element.hpp"

#include "base/unicode.hpp"
#include "platform/sim/sim_element_ref.hpp"

#include <atomic>
#include <charconv>

namespace pennial {

namespace attribute = ax::attribute;
namespace parameterized = ax::parameterized;

namespace {

// Cuts text to at most units, never inside a character.
void keepWithin(std::u16string& text, std::size_t units) {
    if (text.size() <= units)
        return;
    text.resize(units);
    if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF)
        text.pop_back();
}

// Text is laid out in a fixed-width font: each UTF-16 unit one cell.
constexpr double cellWidth = 8;
constexpr double lineHeight = 18;
constexpr double textInset = 4;

std::string defaultName(std::string_view role) {
    static std::atomic<int> next{1};
    std::string name(role.starts_with("AX") ? role.substr(2) : role);
    return name + "#" + std::to_string(next++);
}

bool validRange(AXRange range, std::int64_t length) {
    return range.location >= 0 && range.length >= 0 && range.location + range.length <= length;
}

std::optional<std::int64_t> markerOffset(const AXValue& value) {
    const auto* marker = value.get<AXTextMarker>();
    if (!marker || !marker->data.starts_with("m:"))
        return std::nullopt;
    std::int64_t offset = 0;
    const auto* begin = marker->data.data() + 2;
    const auto* end = marker->data.data() + marker->data.size();
    if (std::from_chars(begin, end, offset).ptr != end)
        return std::nullopt;
    return offset;
}

AXTextMarker marker(std::int64_t offset) {
    return {"m:" + std::to_string(offset)};
}

AXTextMarkerRange markerRange(std::int64_t start, std::int64_t end) {
    return {"r:" + std::to_string(start) + ":" + std::to_string(end)};
}

std::optional<AXRange> parseMarkerRange(const AXValue& value) {
    const auto* range = value.get<AXTextMarkerRange>();
    if (!range || !range->data.starts_with("r:"))
        return std::nullopt;
    std::int64_t start = 0, end = 0;
    const auto* text = range->data.data();
    const auto* last = text + range->data.size();
    auto [afterStart, error] = std::from_chars(text + 2, last, start);
    if (error != std::errc() || afterStart == last || *afterStart != ':')
        return std::nullopt;
    if (std::from_chars(afterStart + 1, last, end).ptr != last || end < start)
        return std::nullopt;
    return AXRange{start, end - start};
}

std::string sliceUtf16(const std::u16string& text, AXRange range) {
    return unicode::toUtf8(std::u16string_view(text).substr(
        static_cast<std::size_t>(range.location), static_cast<std::size_t>(range.length)));
}

} // namespace

SimElement::SimElement(std::string role, std::string subrole)
    : role_(std::move(role)), subrole_(std::move(subrole)), name_(defaultName(role_)) {}

SimElementPtr SimElement::make(std::string_view role, std::string_view subrole) {
    return std::make_shared<SimElement>(std::string(role), std::string(subrole));
}

SimElementPtr SimElement::group(std::string_view subrole) {
    return make(ax::role::group, subrole);
}

SimElementPtr SimElement::staticText(std::string text) {
    return make(ax::role::staticText)->set(std::string(attribute::value), std::move(text));
}

SimElementPtr SimElement::button(std::string title) {
    return make(ax::role::button)->set(std::string(attribute::title), std::move(title));
}

SimElementPtr SimElement::image(std::string description) {
    auto element = make(ax::role::image);
    if (!description.empty())
        element->set(std::string(attribute::description), std::move(description));
    return element;
}

SimElementPtr SimElement::webArea() {
    return make(ax::role::webArea);
}

SimElementPtr SimElement::textField(std::string text) {
    auto element = make(ax::role::textField);
    element->field_ = Field{};
    element->setText(std::move(text));
    return element;
}

SimElementPtr SimElement::textArea(std::string text) {
    auto element = make(ax::role::textArea);
    element->field_ = Field{};
    element->setText(std::move(text));
    return element;
}

SimElementPtr SimElement::secureTextField(std::string text) {
    auto element = make(ax::role::textField, ax::subrole::secureTextField);
    element->field_ = Field{};
    element->field_->secure = true;
    element->setText(std::move(text));
    return element;
}

SimElementPtr SimElement::add(SimElementPtr child) {
    Pid pid;
    {
        std::lock_guard lock(mutex_);
        children_.push_back(child);
        pid = pid_;
    }
    {
        std::lock_guard lock(child->mutex_);
        child->parent_ = weak_from_this();
    }
    if (pid != 0)
        child->attach(pid);
    return child;
}

void SimElement::attach(Pid pid) {
    std::vector<SimElementPtr> children;
    {
        std::lock_guard lock(mutex_);
        pid_ = pid;
        children = children_;
    }
    for (const auto& child : children)
        child->attach(pid);
}

void SimElement::destroy() {
    if (auto parent = this->parent()) {
        std::lock_guard lock(parent->mutex_);
        std::erase(parent->children_, shared_from_this());
    }
    std::vector<SimElementPtr> children;
    {
        std::lock_guard lock(mutex_);
        destroyed_ = true;
        children = children_;
    }
    for (const auto& child : children)
        child->destroy();
}

SimElementPtr SimElement::label(std::string name) {
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
    return shared_from_this();
}

SimElementPtr SimElement::set(std::string attribute, AXValue value) {
    std::lock_guard lock(mutex_);
    attributes_.insert_or_assign(std::move(attribute), std::move(value));
    return shared_from_this();
}

SimElementPtr SimElement::failReads(std::string attribute, AXError error) {
    std::lock_guard lock(mutex_);
    readErrors_.insert_or_assign(std::move(attribute), error);
    return shared_from_this();
}

SimElementPtr SimElement::failWrites(std::string attribute, AXError error) {
    std::lock_guard lock(mutex_);
    writeErrors_.insert_or_assign(std::move(attribute), error);
    return shared_from_this();
}

SimElementPtr SimElement::acceptWrites(std::string attribute) {
    std::lock_guard lock(mutex_);
    writable_.insert(std::move(attribute));
    return shared_from_this();
}

SimElementPtr SimElement::latency(Duration duration) {
    std::lock_guard lock(mutex_);
    latency_ = duration;
    return shared_from_this();
}

SimElementPtr SimElement::frame(Rect frame) {
    std::lock_guard lock(mutex_);
    frame_ = frame;
    return shared_from_this();
}

SimElementPtr SimElement::ignoreWrites() {
    std::lock_guard lock(mutex_);
    if (field_)
        field_->ignoresWrites = true;
    return shared_from_this();
}

SimElementPtr SimElement::unreadableOnceWritten() {
    std::lock_guard lock(mutex_);
    if (field_)
        field_->unreadableOnceWritten = true;
    return shared_from_this();
}

SimElementPtr SimElement::refuseRangeReplacement() {
    return failWrites(std::string(attribute::selectedText), AXError::failure);
}

SimElementPtr SimElement::refuseValueWrites() {
    return failWrites(std::string(attribute::value), AXError::failure);
}

SimElementPtr SimElement::refuseSelectionWrites() {
    return failWrites(std::string(attribute::selectedTextRange), AXError::failure);
}

SimElementPtr SimElement::refuseRangeSelections() {
    std::lock_guard lock(mutex_);
    if (field_)
        field_->selectsOnlyCarets = true;
    return shared_from_this();
}

SimElementPtr SimElement::refusePaste() {
    std::lock_guard lock(mutex_);
    if (field_)
        field_->refusesPaste = true;
    return shared_from_this();
}

SimElementPtr SimElement::loseInsertions(int count) {
    std::lock_guard lock(mutex_);
    if (field_)
        field_->insertionsToLose = count;
    return shared_from_this();
}

SimElementPtr SimElement::normaliseWrites(std::function<std::string(std::string)> normalise) {
    std::lock_guard lock(mutex_);
    if (field_)
        field_->normalise = std::move(normalise);
    return shared_from_this();
}

SimElementPtr SimElement::maxLength(std::size_t units) {
    std::lock_guard lock(mutex_);
    if (field_)
        field_->maxLength = units;
    return shared_from_this();
}

void SimElement::becomeSecure() {
    std::lock_guard lock(mutex_);
    subrole_ = std::string(ax::subrole::secureTextField);
    if (field_)
        field_->secure = true;
}

void SimElement::storeWritten(std::string text) {
    if (field_->normalise)
        text = field_->normalise(std::move(text));
    field_->text = unicode::sanitizeUtf8(text);
}

bool SimElement::replaceSelection(std::string_view text) {
    auto whole = unicode::toUtf16(field_->text);
    whole.erase(static_cast<std::size_t>(field_->selection.location),
                static_cast<std::size_t>(field_->selection.length));
    field_->selection.length = 0;
    if (field_->insertionsToLose > 0 && !text.empty()) {
        --field_->insertionsToLose;
        field_->text = unicode::toUtf8(whole);
        return false;
    }
    const auto before = whole.size();
    auto inserted = unicode::toUtf16(text);
    if (field_->maxLength)
        keepWithin(inserted, *field_->maxLength - std::min(*field_->maxLength, whole.size()));
    whole.insert(static_cast<std::size_t>(field_->selection.location), inserted);
    storeWritten(unicode::toUtf8(whole));
    // The caret follows the text as the application stored it.
    const auto grown = static_cast<std::int64_t>(unicode::utf16Length(field_->text)) -
                       static_cast<std::int64_t>(before);
    field_->selection = {field_->selection.location + std::max<std::int64_t>(grown, 0), 0};
    return true;
}

SimElementPtr SimElement::supportTextMarkers() {
    std::lock_guard lock(mutex_);
    textMarkers_ = true;
    return shared_from_this();
}

SimElementPtr SimElement::supportWholeText() {
    std::lock_guard lock(mutex_);
    wholeText_ = true;
    return shared_from_this();
}

SimElementPtr SimElement::documentText(std::string text) {
    std::lock_guard lock(mutex_);
    documentText_ = std::move(text);
    return shared_from_this();
}

bool SimElement::isTextField() const {
    std::lock_guard lock(mutex_);
    return field_.has_value();
}

std::string SimElement::text() const {
    std::lock_guard lock(mutex_);
    return field_ ? field_->text : std::string();
}

void SimElement::setText(std::string text) {
    std::lock_guard lock(mutex_);
    if (!field_)
        return;
    field_->text = unicode::sanitizeUtf8(text);
    field_->selection = {static_cast<std::int64_t>(unicode::utf16Length(field_->text)), 0};
}

AXRange SimElement::selection() const {
    std::lock_guard lock(mutex_);
    return field_ ? field_->selection : AXRange{};
}

void SimElement::setSelection(AXRange range) {
    std::lock_guard lock(mutex_);
    if (field_ && validRange(range, unicode::utf16Length(field_->text)))
        field_->selection = range;
}

void SimElement::insertText(std::string_view text) {
    std::lock_guard lock(mutex_);
    if (field_)
        replaceSelection(text);
}

bool SimElement::acceptsPaste() const {
    std::lock_guard lock(mutex_);
    return field_ && !field_->refusesPaste;
}

std::string SimElement::role() const {
    std::lock_guard lock(mutex_);
    return role_;
}

std::string SimElement::name() const {
    std::lock_guard lock(mutex_);
    return name_;
}

Pid SimElement::pid() const {
    std::lock_guard lock(mutex_);
    return pid_;
}

SimElementPtr SimElement::parent() const {
    std::lock_guard lock(mutex_);
    return parent_.lock();
}

std::vector<SimElementPtr> SimElement::children() const {
    std::lock_guard lock(mutex_);
    return children_;
}

bool SimElement::isDestroyed() const {
    std::lock_guard lock(mutex_);
    return destroyed_;
}

std::optional<SimElement::Duration> SimElement::effectiveLatency() const {
    for (auto element = shared_from_this(); element;) {
        std::shared_ptr<const SimElement> next;
        {
            std::lock_guard lock(element->mutex_);
            if (element->latency_)
                return element->latency_;
            next = element->parent_.lock();
        }
        element = std::move(next);
    }
    return std::nullopt;
}

std::optional<AXValue> SimElement::storedAttribute(std::string_view attribute) const {
    std::lock_guard lock(mutex_);
    if (auto found = attributes_.find(attribute); found != attributes_.end())
        return found->second;
    return std::nullopt;
}

void SimElement::collectTexts(std::vector<std::string>& into) const {
    std::vector<SimElementPtr> children;
    {
        std::lock_guard lock(mutex_);
        if (field_ && !field_->secure && !field_->text.empty())
            into.push_back(field_->text);
        for (auto key : {attribute::value, attribute::title})
            if (auto found = attributes_.find(key); found != attributes_.end())
                if (auto text = found->second.asString(); text && !text->empty()) {
                    into.push_back(*text);
                    break;
                }
        children = children_;
    }
    for (const auto& child : children)
        child->collectTexts(into);
}

std::string SimElement::gatherDocumentText() const {
    // Called without the lock held: the descendants are locked one at a time.
    {
        std::lock_guard lock(mutex_);
        if (documentText_)
            return *documentText_;
    }
    std::vector<std::string> texts;
    for (const auto& child : children())
        child->collectTexts(texts);
    std::string joined;
    for (const auto& text : texts) {
        if (!joined.empty())
            joined += '\n';
        joined += text;
    }
    return joined;
}

std::optional<Rect> SimElement::boundsForRange(const Field& field, AXRange range) const {
    if (!frame_)
        return std::nullopt;
    auto text = unicode::toUtf16(field.text);
    std::int64_t line = 0, lineStart = 0;
    for (std::int64_t i = 0; i < range.location; ++i)
        if (text[static_cast<std::size_t>(i)] == u'\n') {
            ++line;
            lineStart = i + 1;
        }
    return Rect{
        {frame_->origin.x + textInset + static_cast<double>(range.location - lineStart) * cellWidth,
         frame_->origin.y + textInset + static_cast<double>(line) * lineHeight},
        {static_cast<double>(range.length) * cellWidth, lineHeight}};
}

AXResult<AXValue> SimElement::read(std::string_view attribute) const {
    const bool document = [&] {
        std::lock_guard lock(mutex_);
        return !field_ && (textMarkers_ || wholeText_) &&
               (attribute == attribute::startTextMarker || attribute == attribute::endTextMarker ||
                attribute == attribute::textMarkerRange ||
                attribute == attribute::numberOfCharacters);
    }();
    // The document's text is gathered from the descendants without holding this element's lock.
    const std::string wholeText = document ? gatherDocumentText() : std::string();

    std::lock_guard lock(mutex_);
    if (auto error = readErrors_.find(attribute); error != readErrors_.end())
        return error->second;
    if (auto found = attributes_.find(attribute); found != attributes_.end())
        return found->second;

    if (field_) {
        if (attribute == attribute::value)
            return AXValue(field_->text);
        if (attribute == attribute::numberOfCharacters)
            return AXValue(static_cast<std::int64_t>(unicode::utf16Length(field_->text)));
        if (attribute == attribute::selectedTextRange)
            return AXValue(field_->selection);
        if (attribute == attribute::selectedText)
            return AXValue(sliceUtf16(unicode::toUtf16(field_->text), field_->selection));
    }
    if (textMarkers_ && !field_) {
        auto length = static_cast<std::int64_t>(unicode::utf16Length(wholeText));
        if (attribute == attribute::startTextMarker)
            return AXValue(marker(0));
        if (attribute == attribute::endTextMarker)
            return AXValue(marker(length));
        if (attribute == attribute::textMarkerRange)
            return AXValue(markerRange(0, length));
    }
    if (wholeText_ && !field_ && attribute == attribute::numberOfCharacters)
        return AXValue(static_cast<std::int64_t>(unicode::utf16Length(wholeText)));

    if (attribute == attribute::role)
        return AXValue(role_);
    if (attribute == attribute::subrole)
        return subrole_.empty() ? AXResult<AXValue>(AXError::noValue) : AXValue(subrole_);
    if (attribute == attribute::children) {
        AXValue::List list;
        for (const auto& child : children_)
            list.emplace_back(makeElementRef(child));
        return AXValue(std::move(list));
    }
    if (attribute == attribute::parent) {
        if (auto parent = parent_.lock())
            return AXValue(makeElementRef(parent));
        return AXError::noValue;
    }
    if (frame_ && attribute == attribute::position)
        return AXValue(frame_->origin);
    if (frame_ && attribute == attribute::size)
        return AXValue(frame_->size);
    return AXError::attributeUnsupported;
}

AXResult<AXValue> SimElement::readParameterized(std::string_view attribute,
                                                const AXValue& parameter) const {
    const bool document = [&] {
        std::lock_guard lock(mutex_);
        return !field_ && (textMarkers_ || wholeText_) &&
               (attribute == parameterized::stringForRange ||
                attribute == parameterized::stringForTextMarkerRange);
    }();
    const std::u16string wholeText = document ? unicode::toUtf16(gatherDocumentText()) : u"";

    std::lock_guard lock(mutex_);
    if (auto error = readErrors_.find(attribute); error != readErrors_.end())
        return error->second;
    if (auto found = attributes_.find(attribute); found != attributes_.end())
        return found->second;

    const auto* range = parameter.get<AXRange>();
    if (field_ && (attribute == parameterized::stringForRange ||
                   attribute == parameterized::boundsForRange)) {
        auto text = unicode::toUtf16(field_->text);
        if (!range || !validRange(*range, static_cast<std::int64_t>(text.size())))
            return AXError::illegalArgument;
        if (attribute == parameterized::stringForRange)
            return AXValue(sliceUtf16(text, *range));
        if (auto bounds = boundsForRange(*field_, *range))
            return AXValue(*bounds);
        return AXError::noValue;
    }
    if (wholeText_ && !field_ && attribute == parameterized::stringForRange) {
        if (!range || !validRange(*range, static_cast<std::int64_t>(wholeText.size())))
            return AXError::illegalArgument;
        // A real application never cuts a character in two.
        return AXValue(unicode::sanitizeUtf8(sliceUtf16(wholeText, *range)));
    }
    if (textMarkers_ && !field_) {
        if (attribute == parameterized::textMarkerRangeForUnorderedTextMarkers ||
            attribute == parameterized::textMarkerRangeForMarkers) {
            const auto* list = parameter.get<AXValue::List>();
            if (!list || list->size() != 2)
                return AXError::illegalArgument;
            auto first = markerOffset((*list)[0]);
            auto second = markerOffset((*list)[1]);
            if (!first || !second)
                return AXError::illegalArgument;
            if (*first > *second) {
                if (attribute == parameterized::textMarkerRangeForMarkers)
                    return AXError::illegalArgument;
                std::swap(first, second);
            }
            return AXValue(markerRange(*first, *second));
        }
        if (attribute == parameterized::stringForTextMarkerRange) {
            auto marked = parseMarkerRange(parameter);
            if (!marked || !validRange(*marked, static_cast<std::int64_t>(wholeText.size())))
                return AXError::illegalArgument;
            return AXValue(sliceUtf16(wholeText, *marked));
        }
    }
    return AXError::parameterizedAttributeUnsupported;
}

AXError SimElement::write(std::string_view attribute, const AXValue& value) {
    std::lock_guard lock(mutex_);
    if (auto error = writeErrors_.find(attribute); error != writeErrors_.end())
        return error->second;
    if (field_) {
        if (field_->unreadableOnceWritten &&
            (attribute == attribute::value || attribute == attribute::selectedText))
            readErrors_.insert_or_assign(std::string(attribute::value), AXError::cannotComplete);
        const auto length = static_cast<std::int64_t>(unicode::utf16Length(field_->text));
        if (attribute == attribute::value) {
            const auto* text = value.get<std::string>();
            if (!text)
                return AXError::illegalArgument;
            if (!field_->ignoresWrites) {
                auto units = unicode::toUtf16(*text);
                if (field_->maxLength)
                    keepWithin(units, *field_->maxLength);
                storeWritten(unicode::toUtf8(units));
                field_->selection = {static_cast<std::int64_t>(unicode::utf16Length(field_->text)),
                                     0};
            }
            return AXError::success;
        }
        if (attribute == attribute::selectedTextRange) {
            const auto* range = value.get<AXRange>();
            if (!range || !validRange(*range, length))
                return AXError::illegalArgument;
            if (field_->selectsOnlyCarets && range->length > 0)
                return AXError::failure;
            field_->selection = *range;
            return AXError::success;
        }
        if (attribute == attribute::selectedText) {
            const auto* text = value.get<std::string>();
            if (!text)
                return AXError::illegalArgument;
            if (!field_->ignoresWrites && !replaceSelection(*text))
                return AXError::cannotComplete;
            return AXError::success;
        }
    }
    if (writable_.contains(attribute) || attributes_.contains(attribute)) {
        attributes_.insert_or_assign(std::string(attribute), value);
        return AXError::success;
    }
    return AXError::attributeUnsupported;
}

} // namespace pennial
