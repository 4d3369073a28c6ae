// The bus's roles as the values the tree walks and the secure-field test compare.

#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_roles.hpp"

#include <gtest/gtest.h>

using namespace pennial;

namespace {
std::string roleOf(AtspiRole role, std::string_view name = {}, bool multiLine = false,
                   bool topLevel = false) {
    return axRole({role, name, multiLine, topLevel});
}
} // namespace

TEST(AtspiRolesTest, TextFieldsArePlainMultiLineOrSecure) {
    EXPECT_EQ(roleOf(ATSPI_ROLE_TEXT), ax::role::textField);
    EXPECT_EQ(roleOf(ATSPI_ROLE_ENTRY), ax::role::textField);
    EXPECT_EQ(roleOf(ATSPI_ROLE_TEXT, "text", true), ax::role::textArea);
    EXPECT_EQ(roleOf(ATSPI_ROLE_PASSWORD_TEXT), ax::role::textField);
    EXPECT_EQ(axSubrole(ATSPI_ROLE_PASSWORD_TEXT, ""), ax::subrole::secureTextField);
}

// The walks stop at windows: a toolkit's bare top-level widget shows as a filler or a panel.
TEST(AtspiRolesTest, WhatLiesDirectlyUnderTheApplicationIsAWindow) {
    EXPECT_EQ(roleOf(ATSPI_ROLE_FILLER, "filler", false, true), ax::role::window);
    EXPECT_EQ(roleOf(ATSPI_ROLE_FILLER, "filler"), ax::role::group);
    EXPECT_EQ(roleOf(ATSPI_ROLE_DIALOG), ax::role::window);
    EXPECT_TRUE(mayBeTopLevel(ATSPI_ROLE_PANEL));
    EXPECT_FALSE(mayBeTopLevel(ATSPI_ROLE_TEXT));
}

// The page of a browser is where the context of a conversation or a mail is read from.
TEST(AtspiRolesTest, ABrowsersPageIsAWebArea) {
    EXPECT_EQ(roleOf(ATSPI_ROLE_DOCUMENT_WEB, "document web"), ax::role::webArea);
    EXPECT_EQ(roleOf(ATSPI_ROLE_DOCUMENT_FRAME, "document frame"), "AXDocumentFrame");
}

TEST(AtspiRolesTest, RolesWithoutAValueOfTheirOwnAreSpelledAfterTheirName) {
    EXPECT_EQ(roleOf(ATSPI_ROLE_CHECK_BOX, "check box"), "AXCheckBox");
    EXPECT_EQ(roleOf(ATSPI_ROLE_TABLE_CELL, "table cell"), "AXTableCell");
    EXPECT_EQ(roleOf(ATSPI_ROLE_HEADING, ""), "AXUnknown");
}

TEST(AtspiRolesTest, LandmarksComeFromTheXmlRoles) {
    EXPECT_EQ(axSubrole(ATSPI_ROLE_LANDMARK, "main"), ax::subrole::landmarkMain);
    EXPECT_EQ(axSubrole(ATSPI_ROLE_SECTION, "region banner"), ax::subrole::landmarkBanner);
    EXPECT_EQ(axSubrole(ATSPI_ROLE_LANDMARK, "navigation"), ax::subrole::landmarkNavigation);
    EXPECT_EQ(axSubrole(ATSPI_ROLE_EMBEDDED, "application"), ax::subrole::applicationGroup);
    EXPECT_EQ(axSubrole(ATSPI_ROLE_SECTION, "mainframe"), std::nullopt);
    EXPECT_EQ(axSubrole(ATSPI_ROLE_SECTION, ""), std::nullopt);
}
