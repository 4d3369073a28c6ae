#include "platform/linux/atspi/atspi_text.hpp"

#include "base/unicode.hpp"
#include "platform/linux/atspi/atspi_late_selection.hpp"

#include <algorithm>
#include <limits>
#include <thread>

namespace pennial {

namespace {

// Long enough to send a call to an application known never to answer it.
constexpr AtspiCall::Timeout sendOnlyDeadline{0.02};
// GTK 4 may put the caret back where its own handling of a change leaves it, after a caret move
// that it answered as done: one more move after this pause.
constexpr std::chrono::milliseconds caretRetryPause{20};

gint clampedOffset(std::int64_t offset) {
    return static_cast<gint>(std::clamp<std::int64_t>(offset, 0, std::numeric_limits<gint>::max()));
}

// Toolkits answer (-1, -1, 0, 0) or nothing at all for bounds they do not know.
std::optional<Rect> usable(const AtspiRect* rect) {
    if (!rect || rect->height <= 0 || rect->width < 0 || (rect->x == -1 && rect->y == -1))
        return std::nullopt;
    return Rect{{static_cast<double>(rect->x), static_cast<double>(rect->y)},
                {static_cast<double>(rect->width), static_cast<double>(rect->height)}};
}

Rect united(const Rect& a, const Rect& b) {
    const double minX = std::min(a.minX(), b.minX());
    const double minY = std::min(a.minY(), b.minY());
    return {{minX, minY},
            {std::max(a.maxX(), b.maxX()) - minX, std::max(a.maxY(), b.maxY()) - minY}};
}

} // namespace

std::optional<Rect>
atspiRectOnScreen(AtspiCall& call,
                  const std::function<AtspiRect*(AtspiCoordType, GError**)>& getter,
                  const AtspiWindowOrigin& origin) {
    bool refused = false;
    GOwned<AtspiRect> onScreen(call.quietly(
        [&](GError** error) { return getter(ATSPI_COORD_TYPE_SCREEN, error); }, refused));
    if (!refused)
        return usable(onScreen.get());
    // Toolkits without a global position for their windows (GTK 4) refuse screen coordinates.
    GOwned<AtspiRect> inWindow(
        call([&](GError** error) { return getter(ATSPI_COORD_TYPE_WINDOW, error); }));
    auto rect = usable(inWindow.get());
    auto windowOrigin = rect && !call.failed() && origin ? origin() : std::nullopt;
    if (!windowOrigin)
        return std::nullopt;
    rect->origin.x += windowOrigin->x;
    rect->origin.y += windowOrigin->y;
    return rect;
}

AtspiTextField::AtspiTextField(AtspiAccessible* accessible, GObjectRef<AtspiText> text,
                               AtspiToolkit toolkit, bool secret,
                               std::shared_ptr<AtspiUnansweredCalls> unanswered)
    : accessible_(accessible), text_(std::move(text)), toolkit_(toolkit), units_(toolkit.units),
      readsToTheEnd_(toolkit.readsToTheEnd), padded_(toolkit.padsAstralCharacters), secret_(secret),
      unanswered_(std::move(unanswered)) {}

std::optional<AtspiTextField> AtspiTextField::of(AtspiCall& call, AtspiAccessible* accessible,
                                                 AtspiToolkit toolkit, bool secret,
                                                 std::shared_ptr<AtspiUnansweredCalls> unanswered) {
    GObjectRef<AtspiText> text(
        call([&](GError**) { return atspi_accessible_get_text_iface(accessible); }));
    if (!text)
        return std::nullopt;
    return AtspiTextField(accessible, std::move(text), toolkit, secret, std::move(unanswered));
}

std::string AtspiTextField::fromToolkit(std::string text) const {
    auto sane = unicode::sanitizeUtf8(text);
    return padded_ ? withoutAstralPadding(sane) : sane;
}

std::string AtspiTextField::toToolkit(const std::string& text) const {
    // Never written back, even should a text read elsewhere carry it.
    auto sane = unicode::sanitizeUtf8(text);
    return padded_ ? withoutAstralPadding(sane) : sane;
}

std::int64_t AtspiTextField::characterCount(AtspiCall& call) const {
    const gint count =
        call([&](GError** error) { return atspi_text_get_character_count(text_.get(), error); });
    return std::max<gint>(count, 0);
}

std::optional<std::string> AtspiTextField::textUpTo(AtspiCall& call, std::int64_t end) const {
    if (secret_)
        return std::nullopt;
    // As far as the count, not to -1, unless the toolkit answers that with the whole text: some
    // answer nothing.
    const bool whole = end == std::numeric_limits<std::int64_t>::max();
    const gint last =
        whole && readsToTheEnd_ ? -1 : clampedOffset(std::min(end, characterCount(call)));
    auto text = takeString(
        call([&](GError** error) { return atspi_text_get_text(text_.get(), 0, last, error); }));
    if (call.failed())
        return std::nullopt;
    return fromToolkit(std::move(text));
}

std::optional<std::string> AtspiTextField::wholeText(AtspiCall& call) const {
    return textUpTo(call, std::numeric_limits<std::int64_t>::max());
}

std::optional<std::int64_t> AtspiTextField::utf16Length(AtspiCall& call) const {
    if (secret_)
        return std::nullopt;
    if (units_ == AtspiTextUnits::utf16) {
        auto count = characterCount(call);
        return call.failed() ? std::nullopt : std::optional(count);
    }
    auto text = wholeText(call);
    return text ? std::optional(static_cast<std::int64_t>(unicode::utf16Length(*text)))
                : std::nullopt;
}

std::optional<AtspiTextField::Span> AtspiTextField::toSpan(AtspiCall& call, AXRange range) const {
    if (range.location < 0 || range.length < 0)
        return std::nullopt;
    const std::int64_t end = range.location + range.length;
    // A password's offsets go as they are: its text is not read to convert them, and the
    // characters typed into such fields are the ones both units count alike.
    if (units_ == AtspiTextUnits::utf16 || secret_) {
        if (end > characterCount(call))
            return std::nullopt;
        return Span{range.location, end};
    }
    // A UTF-16 offset never counts fewer code points than units, so text up to end in code points
    // covers it.
    auto text = textUpTo(call, end);
    if (!text)
        return std::nullopt;
    auto start = fromUtf16Offset(*text, range.location, units_);
    auto last = fromUtf16Offset(*text, end, units_);
    if (!start || !last)
        return std::nullopt;
    return Span{*start, *last};
}

std::optional<AXRange> AtspiTextField::toRange(AtspiCall& call, Span span) const {
    if (units_ == AtspiTextUnits::utf16 || secret_)
        return AXRange{span.start, span.end - span.start};
    auto text = textUpTo(call, span.end);
    if (!text)
        return std::nullopt;
    const auto start = toUtf16Offset(*text, span.start, units_);
    return AXRange{start, toUtf16Offset(*text, span.end, units_) - start};
}

std::optional<AtspiTextField::Span> AtspiTextField::selection(AtspiCall& call) const {
    const gint selections =
        call([&](GError** error) { return atspi_text_get_n_selections(text_.get(), error); });
    if (call.failed())
        return std::nullopt;
    if (selections > 0) {
        GOwned<AtspiRange> range(
            call([&](GError** error) { return atspi_text_get_selection(text_.get(), 0, error); }));
        if (range && !call.failed())
            return Span{std::min(range->start_offset, range->end_offset),
                        std::max(range->start_offset, range->end_offset)};
    }
    const gint caret =
        call([&](GError** error) { return atspi_text_get_caret_offset(text_.get(), error); });
    if (call.failed())
        return std::nullopt;
    return Span{std::max<gint>(caret, 0), std::max<gint>(caret, 0)};
}

std::optional<AXRange> AtspiTextField::selectedRange(AtspiCall& call) const {
    auto span = selection(call);
    return span ? toRange(call, *span) : std::nullopt;
}

std::optional<std::string> AtspiTextField::selectedText(AtspiCall& call) const {
    auto span = selection(call);
    if (!span || secret_)
        return std::nullopt;
    if (span->end == span->start)
        return std::string();
    auto text = takeString(call([&](GError** error) {
        return atspi_text_get_text(text_.get(), clampedOffset(span->start),
                                   clampedOffset(span->end), error);
    }));
    return call.failed() ? std::nullopt : std::optional(fromToolkit(std::move(text)));
}

AXResult<AXValue> AtspiTextField::stringForRange(AtspiCall& call, AXRange range) const {
    if (secret_)
        return AXError::noValue;
    if (range.location < 0 || range.length < 0)
        return AXError::illegalArgument;
    // Up to the range's end in the toolkit's units covers the range in UTF-16 units.
    auto text = textUpTo(call, range.location + range.length);
    if (!text)
        return call.failure().value_or(AXError::noValue);
    auto slice = unicode::sliceUtf16(*text, static_cast<std::size_t>(range.location),
                                     static_cast<std::size_t>(range.length));
    if (!slice)
        return AXError::illegalArgument;
    return AXValue(unicode::sanitizeUtf8(*slice));
}

AXResult<AXValue> AtspiTextField::boundsForRange(AtspiCall& call, AXRange range,
                                                 const AtspiWindowOrigin& origin) const {
    auto span = toSpan(call, range);
    if (!span)
        return call.failure().value_or(AXError::illegalArgument);
    auto characterBounds = [&](std::int64_t offset) {
        return atspiRectOnScreen(
            call,
            [&](AtspiCoordType type, GError** error) {
                return atspi_text_get_character_extents(text_.get(), clampedOffset(offset), type,
                                                        error);
            },
            origin);
    };
    std::optional<Rect> bounds;
    if (span->start == span->end) {
        // The caret: the leading edge of the character after it, else the trailing edge of the
        // one before it (at the end of the text).
        if (span->start < characterCount(call)) {
            if (auto next = characterBounds(span->start))
                bounds = Rect{next->origin, {0, next->size.height}};
        } else if (span->start > 0) {
            if (auto previous = characterBounds(span->start - 1))
                bounds = Rect{{previous->maxX(), previous->minY()}, {0, previous->size.height}};
        }
    } else {
        // The union of the first and the last character: Qt's range extents take in the
        // character after the range as well.
        auto first = characterBounds(span->start);
        auto last = characterBounds(span->end - 1);
        if (first && last)
            bounds = united(*first, *last);
    }
    if (call.failed())
        return *call.failure();
    return bounds ? AXResult<AXValue>(AXValue(*bounds)) : AXError::noValue;
}

AXError AtspiTextField::selectRange(AtspiCall& call, AXRange range) const {
    auto span = toSpan(call, range);
    if (!span)
        return call.failure().value_or(AXError::illegalArgument);
    bool done = false;
    if (span->start == span->end) {
        done = moveCaret(call, span->start);
    } else {
        done = call([&](GError** error) {
            return atspi_text_set_selection(text_.get(), 0, clampedOffset(span->start),
                                            clampedOffset(span->end), error);
        });
        // Some toolkits change only a selection that exists.
        if (!done && !call.failed())
            done = addSelection(call, *span);
    }
    // A caret cannot be told from where it stood where offsets are reported elsewhere.
    const bool readable = span->start != span->end || !toolkit_.reportsSelectionsElsewhere;
    if (done && !call.failed() && readable)
        awaitSelectionMade(toolkit_, [&] {
            if (call.failed())
                return true;
            const auto made = selection(call);
            if (toolkit_.reportsSelectionsElsewhere)
                return made && made->end > made->start;
            return made == span;
        });
    if (call.failed())
        return *call.failure();
    return done ? AXError::success : AXError::failure;
}

AXError AtspiTextField::writeOver(AtspiCall& call, AtspiEditableText& editable, Span span,
                                  const std::string& inserted) const {
    // The user's typing point before the write, and the field's length: keys typed after the
    // trigger stand beyond the span, and the caret belongs after them once it is written.
    // Read quietly: a field that will not tell leaves the caret after the written text.
    auto quietRead = [&](auto read) -> std::int64_t {
        bool refused = false;
        const gint value =
            call.quietly([&](GError** error) { return read(text_.get(), error); }, refused);
        return refused ? -1 : value;
    };
    auto caret = [&] { return quietRead(atspi_text_get_caret_offset); };
    auto count = [&] { return quietRead(atspi_text_get_character_count); };
    const auto caretBefore = caret();
    const auto countBefore = count();
    bool done = true;
    if (span.end > span.start)
        done = call([&](GError** error) {
            return atspi_editable_text_delete_text(&editable, clampedOffset(span.start),
                                                   clampedOffset(span.end), error);
        });
    if (done && !inserted.empty() && !call.failed())
        done = call([&](GError** error) {
            return atspi_editable_text_insert_text(
                &editable, clampedOffset(span.start), inserted.c_str(),
                clampedOffset(insertionLength(inserted, toolkit_)), error);
        });
    // Only where the field shows the text: some toolkits answer an edit they ignore, and a caret
    // moved for it sends the user's next keys into another line.
    const auto insertedLength = lengthIn(inserted, units_);
    const auto end = span.start + insertedLength;
    if (done && !call.failed()) {
        auto written = textUpTo(call, end);
        if (written && std::string_view(*written).ends_with(fromToolkit(inserted))) {
            const auto grown = insertedLength - (span.end - span.start);
            const auto target = caretBefore >= span.end ? caretBefore + grown : end;
            // A toolkit that carried the caret along leaves it there: a key typed since the
            // write moved it on, and moving it back would put the next key before that one.
            const auto countNow = count();
            const auto typed = countBefore < 0 || countNow < 0 ? 0 : countNow - countBefore - grown;
            const auto now = caret();
            if (!call.failed() && (now < target || now > target + std::max<std::int64_t>(typed, 0)))
                call([&](GError** error) {
                    return atspi_text_set_caret_offset(text_.get(), clampedOffset(target), error);
                });
        }
    }
    if (call.failed())
        return *call.failure();
    return done ? AXError::success : AXError::failure;
}

AXError AtspiTextField::replaceSelection(AtspiCall& call, const std::string& text) const {
    GObjectRef<AtspiEditableText> editable(
        call([&](GError**) { return atspi_accessible_get_editable_text_iface(accessible_); }));
    if (!editable)
        return call.failure().value_or(AXError::attributeUnsupported);
    auto span = selection(call);
    if (!span)
        return call.failure().value_or(AXError::failure);
    const auto inserted = toToolkit(text);
    return writeOver(call, *editable, *span, inserted);
}

AXError AtspiTextField::replaceRange(AtspiCall& call, AXRange range,
                                     const std::string& text) const {
    GObjectRef<AtspiEditableText> editable(
        call([&](GError**) { return atspi_accessible_get_editable_text_iface(accessible_); }));
    if (!editable)
        return call.failure().value_or(AXError::attributeUnsupported);
    auto inserted = toToolkit(text);
    auto span = toSpan(call, range);
    if (!span)
        return call.failure().value_or(AXError::illegalArgument);
    // A snippet or result written over the text it was made from starts with much of it: that
    // part stays, and the application removes and inserts only the rest.
    if (!secret_ && !padded_) {
        auto current = textUpTo(call, span->end);
        auto replaced =
            current ? unicode::sliceUtf16(*current, static_cast<std::size_t>(range.location),
                                          static_cast<std::size_t>(range.length))
                    : std::nullopt;
        if (!replaced)
            return call.failure().value_or(AXError::illegalArgument);
        std::size_t same = 0;
        while (same < replaced->size() && same < inserted.size() &&
               (*replaced)[same] == inserted[same])
            ++same;
        // Back to the start of a character.
        while (same > 0 && same < inserted.size() &&
               (static_cast<unsigned char>(inserted[same]) & 0xC0) == 0x80)
            --same;
        span->start += lengthIn(std::string_view(inserted).substr(0, same), units_);
        inserted.erase(0, same);
    }
    return writeOver(call, *editable, *span, inserted);
}

AXError AtspiTextField::setWholeText(AtspiCall& call, const std::string& text) const {
    GObjectRef<AtspiEditableText> editable(
        call([&](GError**) { return atspi_accessible_get_editable_text_iface(accessible_); }));
    if (!editable)
        return call.failure().value_or(AXError::attributeUnsupported);
    const bool done = call([&](GError** error) {
        return atspi_editable_text_set_text_contents(editable.get(), toToolkit(text).c_str(),
                                                     error);
    });
    if (call.failed())
        return *call.failure();
    return done ? AXError::success : AXError::failure;
}

} // namespace pennial

namespace pennial {

bool AtspiTextField::addSelection(AtspiCall& call, Span span) const {
    constexpr const char* method = "AddSelection";
    const bool answers = !unanswered_ || unanswered_->answers(method);
    bool ranOut = false;
    const bool added = call.within(
        answers ? call.timeout() : sendOnlyDeadline,
        [&](GError** error) {
            return atspi_text_add_selection(text_.get(), clampedOffset(span.start),
                                            clampedOffset(span.end), error);
        },
        ranOut);
    if (!ranOut)
        return added;
    if (unanswered_)
        unanswered_->learn(method);
    // Calls are handled in order: the selection read after it tells whether it was made.
    auto now = selection(call);
    return now && now->start == span.start && now->end == span.end;
}

bool AtspiTextField::moveCaret(AtspiCall& call, std::int64_t offset) const {
    auto move = [&] {
        return call([&](GError** error) {
            return atspi_text_set_caret_offset(text_.get(), clampedOffset(offset), error);
        });
    };
    auto caret = [&] {
        return call(
            [&](GError** error) { return atspi_text_get_caret_offset(text_.get(), error); });
    };
    const auto count = characterCount(call);
    if (!move() || call.failed())
        return false;
    if (caret() == offset || call.failed())
        return !call.failed();
    // A field that changed meanwhile had a key typed at the moved caret, which went on with it:
    // moving it back would put the user's next key in front of that one.
    if (characterCount(call) != count)
        return !call.failed();
    std::this_thread::sleep_for(caretRetryPause);
    if (characterCount(call) != count)
        return !call.failed();
    return move() && !call.failed() && caret() == offset;
}

} // namespace pennial
