#include "application_windows.hpp"

#include <QProcess>

namespace pennial::e2e {

QString visibleWindow(qint64 pid, const QString& namePattern) {
    QProcess search;
    search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid), "--name",
                             "^" + namePattern + "$"});
    search.waitForFinished();
    return QString(search.readAllStandardOutput()).section('\n', 0, 0).trimmed();
}

} // namespace pennial::e2e
