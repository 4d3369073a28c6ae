#pragma once
// Finding a program's windows on the test display, as the user sees them.

#include <QString>

namespace pennial::e2e {

// The first mapped top-level window of the process whose name matches the pattern (anchored);
// empty when there is none.
QString visibleWindow(qint64 pid, const QString& namePattern);

} // namespace pennial::e2e
