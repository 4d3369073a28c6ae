#include "typing_burst.hpp"

#include "test_editor.hpp"

#include <algorithm>
#include <cstdlib>

namespace pennial::desktop_support {

void typeBurst() {
    QProcess keys;
    // In a nested session the keys come from its keyboard device, as the user's would.
    if (const char* hands = std::getenv("PENNIAL_KEYBOARD_DISPLAY")) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", hands);
        keys.setProcessEnvironment(environment);
    }
    keys.start("sh", {"-c", "xdotool type --delay 20 Zed; xdotool key Return; "
                            "xdotool type --delay 20 ok; xdotool key BackSpace"});
    waitUntil([&] { return keys.state() == QProcess::NotRunning; }, 30s);
}

BusyLoad::BusyLoad() {
    const char* busy = std::getenv("PENNIAL_BURST_LOAD");
    for (int i = 0; busy && i < std::atoi(busy); ++i) {
        processes_.push_back(std::make_unique<QProcess>());
        processes_.back()->start("sh", {"-c", "while :; do :; done"});
    }
}

BusyLoad::~BusyLoad() {
    for (auto& process : processes_)
        process->kill();
    for (auto& process : processes_)
        process->waitForFinished();
}

bool sameCharacters(std::string a, std::string b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

int triesFromEnvironment(const char* variable, int fallback) {
    const char* set = std::getenv(variable);
    return set ? std::max(1, std::atoi(set)) : fallback;
}

} // namespace pennial::desktop_support
