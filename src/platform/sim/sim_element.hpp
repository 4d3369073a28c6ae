#pragma once
// One element of a simulated application's accessibility tree: its role, its stored attributes,
// its children and, for text fields, the text with its selection. Builders return the element so
// a tree reads as it is nested. Safe to change from a test while the desktop is being read.

#include "platform/accessibility.hpp"
#include "platform/ax_names.hpp"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pennial {

class SimElement;
using SimElementPtr = std::shared_ptr<SimElement>;

class SimElement : public std::enable_shared_from_this<SimElement> {
public:
    using Duration = std::chrono::steady_clock::duration;

    SimElement(std::string role, std::string subrole);

    static SimElementPtr make(std::string_view role, std::string_view subrole = {});
    static SimElementPtr group(std::string_view subrole = {});
    static SimElementPtr staticText(std::string text);
    static SimElementPtr button(std::string title);
    static SimElementPtr image(std::string description = {});
    static SimElementPtr webArea();
    // Text fields: plain one-line, multi-line, and password (whose toolkit hands out the plain
    // text, as some do: the product must never ask).
    static SimElementPtr textField(std::string text = {});
    static SimElementPtr textArea(std::string text = {});
    static SimElementPtr secureTextField(std::string text);

    // Appends child (and its subtree) and returns it.
    SimElementPtr add(SimElementPtr child);
    // Takes the element out of its application: every later call through it fails as invalid.
    void destroy();

    // The name the call log uses for this element.
    SimElementPtr label(std::string name);
    SimElementPtr set(std::string attribute, AXValue value);
    SimElementPtr failReads(std::string attribute, AXError error);
    SimElementPtr failWrites(std::string attribute, AXError error);
    // Attributes other than the text field's that writes may set.
    SimElementPtr acceptWrites(std::string attribute);
    // How long each call on this element (and, unless they say otherwise, its descendants) takes.
    SimElementPtr latency(Duration duration);
    SimElementPtr frame(Rect frame);
    // Text writes answer success and change nothing.
    SimElementPtr ignoreWrites();
    // The field's text cannot be read once a write was made (an application busy after it).
    SimElementPtr unreadableOnceWritten();
    // Switches that make a text field refuse one way of writing it, as some applications do:
    // replacing the selected text (and so a range), the whole value, the selection range, and
    // Control+V.
    SimElementPtr refuseRangeReplacement();
    SimElementPtr refuseValueWrites();
    SimElementPtr refuseSelectionWrites();
    // Refuses to select a range, but moves the caret (a rich editor's range across elements).
    SimElementPtr refuseRangeSelections();
    SimElementPtr refusePaste();
    // Faults of real applications. The next count insertions of text through the selected text
    // fail after the selection was removed (a range replacement made as a removal and an
    // insertion whose insertion timed out). Every write is stored as normalise makes it (a
    // one-line field dropping line breaks, an editor converting line endings). The field turns
    // into a password field (its role stays, its subrole says so).
    SimElementPtr loseInsertions(int count);
    SimElementPtr normaliseWrites(std::function<std::string(std::string)> normalise);
    // Holds at most units UTF-16 units: an insertion keeps what fits of its start, a whole value
    // its start (a web page's field with a maximum length).
    SimElementPtr maxLength(std::size_t units);
    void becomeSecure();
    // The whole text of a document (a web area, a window) read in one request through text
    // markers, or through a character count and a ranged read. Without a text of its own, the
    // element offers its descendants' texts, one per line.
    SimElementPtr supportTextMarkers();
    SimElementPtr supportWholeText();
    SimElementPtr documentText(std::string text);

    // The text field as the user sees it.
    bool isTextField() const;
    std::string text() const;
    void setText(std::string text); // the caret goes to the end
    AXRange selection() const;
    void setSelection(AXRange range);
    // Replaces the selection with text, as typing or pasting does; the caret follows the text.
    void insertText(std::string_view text);
    bool acceptsPaste() const;

    std::string role() const;
    std::string name() const;
    Pid pid() const;
    SimElementPtr parent() const;
    std::vector<SimElementPtr> children() const;
    bool isDestroyed() const;
    // Its own latency or the nearest ancestor's.
    std::optional<Duration> effectiveLatency() const;
    std::optional<AXValue> storedAttribute(std::string_view attribute) const;

    // What the accessibility facility answers for this element.
    AXResult<AXValue> read(std::string_view attribute) const;
    AXResult<AXValue> readParameterized(std::string_view attribute, const AXValue& parameter) const;
    AXError write(std::string_view attribute, const AXValue& value);

    // Used when attaching a subtree to an application.
    void attach(Pid pid);

private:
    struct Field {
        std::string text;
        AXRange selection;
        bool secure = false;
        bool ignoresWrites = false;
        bool unreadableOnceWritten = false;
        bool refusesPaste = false;
        bool selectsOnlyCarets = false;
        int insertionsToLose = 0;
        std::optional<std::size_t> maxLength;
        std::function<std::string(std::string)> normalise;
    };

    // Stores text written into the field, as its application would.
    void storeWritten(std::string text);
    // Replaces the selection with text; false when the insertion was lost.
    bool replaceSelection(std::string_view text);

    std::string gatherDocumentText() const;
    void collectTexts(std::vector<std::string>& into) const;
    std::optional<Rect> boundsForRange(const Field& field, AXRange range) const;

    mutable std::mutex mutex_;
    std::string role_;
    std::string subrole_;
    std::string name_;
    Pid pid_ = 0;
    bool destroyed_ = false;
    std::weak_ptr<SimElement> parent_;
    std::vector<SimElementPtr> children_;
    std::map<std::string, AXValue, std::less<>> attributes_;
    std::map<std::string, AXError, std::less<>> readErrors_;
    std::map<std::string, AXError, std::less<>> writeErrors_;
    std::set<std::string, std::less<>> writable_;
    std::optional<Duration> latency_;
    std::optional<Rect> frame_;
    std::optional<Field> field_;
    bool textMarkers_ = false;
    bool wholeText_ = false;
    std::optional<std::string> documentText_;
};

} // namespace pennial
