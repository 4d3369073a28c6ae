#pragma once
// What an updater shows the user about a check it was asked for, one state at a time, in the one
// update dialog: checking, the outcome (with where to get a version it cannot install), and for an
// update it installs itself, the download.

#include <functional>
#include <string>

namespace pennial {

struct UpdateNotice {
    enum class Kind {
        checking,
        upToDate,        // version: the running one
        inSystemUpdates, // version: the newer one, installed by the package manager
        readyToInstall,  // version, releaseNotes; install starts "Install and Relaunch"
        // version, releaseNotes, address: a newer version that this copy cannot get by itself
        // (a package installed from a file, which the package manager has no source for)
        availableToDownload,
        downloading,   // version, progress
        installing,    // version
        checkFailed,   // reason
        installFailed, // reason; nothing was changed
    };
    Kind kind = Kind::checking;
    std::string version;
    std::string releaseNotes;
    std::string reason;
    std::string address; // where to download the new version
    double progress = 0; // 0 to 1
    std::function<void()> install;

    static UpdateNotice of(Kind kind, std::string version = {}) {
        UpdateNotice notice;
        notice.kind = kind;
        notice.version = std::move(version);
        return notice;
    }
    static UpdateNotice failure(Kind kind, std::string reason, std::string version = {}) {
        auto notice = of(kind, std::move(version));
        notice.reason = std::move(reason);
        return notice;
    }
};

// Shows a notice; called on the main thread.
using UpdateNoticePresenter = std::function<void(const UpdateNotice&)>;

} // namespace pennial
