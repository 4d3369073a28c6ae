#pragma once
// The hairline between the settings window's tab bar and its content, and between the sections
// of a tab.

class QWidget;

namespace pennial {

QWidget* makeSettingsDivider(QWidget* parent);

} // namespace pennial
