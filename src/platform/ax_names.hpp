#pragma once
// The attribute, role and subrole names callers use, as the accessibility facility spells them.

#include <string_view>

namespace pennial::ax {

namespace attribute {
inline constexpr std::string_view focusedApplication = "AXFocusedApplication";
inline constexpr std::string_view focusedUIElement = "AXFocusedUIElement";
inline constexpr std::string_view focusedWindow = "AXFocusedWindow";
inline constexpr std::string_view manualAccessibility = "AXManualAccessibility";
inline constexpr std::string_view enhancedUserInterface = "AXEnhancedUserInterface";
inline constexpr std::string_view value = "AXValue";
// The value as the field's application holds it now, never answered from a text kept from an
// earlier read: what a write is checked against.
inline constexpr std::string_view currentValue = "AXValue.current";
inline constexpr std::string_view selectedTextRange = "AXSelectedTextRange";
inline constexpr std::string_view selectedText = "AXSelectedText";
inline constexpr std::string_view numberOfCharacters = "AXNumberOfCharacters";
inline constexpr std::string_view role = "AXRole";
inline constexpr std::string_view subrole = "AXSubrole";
inline constexpr std::string_view roleDescription = "AXRoleDescription";
inline constexpr std::string_view title = "AXTitle";
inline constexpr std::string_view description = "AXDescription";
inline constexpr std::string_view document = "AXDocument";
inline constexpr std::string_view position = "AXPosition";
inline constexpr std::string_view size = "AXSize";
inline constexpr std::string_view children = "AXChildren";
inline constexpr std::string_view parent = "AXParent";
inline constexpr std::string_view startTextMarker = "AXStartTextMarker";
inline constexpr std::string_view endTextMarker = "AXEndTextMarker";
inline constexpr std::string_view textMarkerRange = "AXTextMarkerRange";
// Whether the field's text is a tree of formatted elements (a web page's editor): a boolean.
// Formatting lives between its characters, so a write there is best kept to what changes.
inline constexpr std::string_view richText = "AXRichText";
} // namespace attribute

// Parameterised attributes.
namespace parameterized {
inline constexpr std::string_view boundsForRange = "AXBoundsForRange";
inline constexpr std::string_view stringForRange = "AXStringForRange";
inline constexpr std::string_view textMarkerRangeForUnorderedTextMarkers =
    "AXTextMarkerRangeForUnorderedTextMarkers";
inline constexpr std::string_view textMarkerRangeForMarkers = "AXTextMarkerRangeForMarkers";
inline constexpr std::string_view stringForTextMarkerRange = "AXStringForTextMarkerRange";
} // namespace parameterized

namespace role {
inline constexpr std::string_view application = "AXApplication";
inline constexpr std::string_view window = "AXWindow";
inline constexpr std::string_view webArea = "AXWebArea";
// A word processor's document, whose paragraphs are its parts.
inline constexpr std::string_view documentText = "AXDocumentText";
inline constexpr std::string_view group = "AXGroup";
inline constexpr std::string_view staticText = "AXStaticText";
inline constexpr std::string_view textField = "AXTextField";
inline constexpr std::string_view textArea = "AXTextArea";
inline constexpr std::string_view button = "AXButton";
inline constexpr std::string_view image = "AXImage";
inline constexpr std::string_view scrollBar = "AXScrollBar";
inline constexpr std::string_view progressIndicator = "AXProgressIndicator";
inline constexpr std::string_view toolbar = "AXToolbar";
inline constexpr std::string_view menuBar = "AXMenuBar";
inline constexpr std::string_view menu = "AXMenu";
} // namespace role

namespace subrole {
inline constexpr std::string_view secureTextField = "AXSecureTextField";
inline constexpr std::string_view landmarkMain = "AXLandmarkMain";
inline constexpr std::string_view landmarkBanner = "AXLandmarkBanner";
inline constexpr std::string_view landmarkNavigation = "AXLandmarkNavigation";
inline constexpr std::string_view applicationGroup = "AXApplicationGroup";
} // namespace subrole

} // namespace pennial::ax
