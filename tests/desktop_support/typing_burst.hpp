#pragma once
// What the tests of keys typed right after a trigger share: the burst itself, the busy processes
// that load the machine meanwhile, and the check that tells keys out of place from keys lost.

#include <QProcess>
#include <memory>
#include <string>
#include <vector>

namespace pennial::desktop_support {

// What the burst leaves in a multi-line field: "Zed", Return, "ok", and Backspace takes the "k".
// (A one-line field drops the Return.)
inline constexpr const char* burstEffect = "Zed\no";

// Types the burst on the keyboard (xdotool, through XTest; in a nested session, through its own
// keyboard device) and returns once it is typed.
void typeBurst();

// PENNIAL_BURST_LOAD busy processes, from construction to destruction.
class BusyLoad {
public:
    BusyLoad();
    ~BusyLoad();
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

private:
    std::vector<std::unique_ptr<QProcess>> processes_;
};

// Whether a holds the characters of b, each as often, in whatever order.
bool sameCharacters(std::string a, std::string b);

// The count set in the environment variable, at least 1; fallback when it is not set.
int triesFromEnvironment(const char* variable, int fallback);

} // namespace pennial::desktop_support
