#include "ui/overlay/status_verbs.hpp"

#include <array>
#include <random>

namespace pennial {

namespace {

constexpr std::array<std::string_view, 98> verbs{
    "Combobulating",    "Defluffing",   "Unjanking",    "Rejiggering",  "Turbofying",
    "Unspaghettifying", "Snazzifying",  "Glowuping",    "Slicking",     "Vibifying",
    "Noodling",         "Untangling",   "Decrinkling",  "Replumbing",   "Jazzing",
    "Detangling",       "Reflavoring",  "Recasting",    "Rebasing",     "Rewiring",
    "Rehydrating",      "Rebalancing",  "Respinning",   "Uncluttering", "Debloating",
    "Reflowing",        "Leveling",     "Softening",    "Hardening",    "Punchingup",
    "Sanding",          "Buffing",      "Massaging",    "Futzing",      "Tweaking",
    "Reworking",        "Remixing",     "Reframing",    "Retuning",     "Refitting",
    "Restyling",        "Reshaping",    "Retconning",   "Reforging",    "Unknotting",
    "Unwarping",        "Recoloring",   "Recasting",    "Refactoring",  "Stitching",
    "Distilling",       "Finessing",    "Smoothing",    "Tempering",    "Curating",
    "Orchestrating",    "Stabilizing",  "Recrafting",   "Polishing",    "Calibrating",
    "Recombining",      "Debugging",    "Unmessing",    "Recomposing",  "Rechoreographing",
    "Reharmonizing",    "De-noising",   "Cleanrooming", "Reblooming",   "Repadding",
    "Rethreading",      "Recooking",    "Deweirding",   "Unwonking",    "Retexturing",
    "Refining",         "Regraining",   "Unfuzzing",    "Sharpening",   "Unmuddling",
    "Reassembling",     "Relayering",   "Rebalming",    "Re-tempering", "Remastering",
    "Unkinking",        "Reghosting",   "Rebuffering",  "Delinting",    "Unsnarling",
    "Reglazing",        "Retrofitting", "Reblending",   "Recutting",    "Unspooling",
    "Reprofiling",      "Reaccenting",  "Unclenching",
};

std::mt19937& randomSource() {
    thread_local std::mt19937 source{std::random_device{}()};
    return source;
}

} // namespace

std::span<const std::string_view> statusVerbs() {
    return verbs;
}

std::string nextVerb() {
    std::uniform_int_distribution<std::size_t> index(0, verbs.size() - 1);
    return std::string(verbs[index(randomSource())]);
}

StatusVerbCycle::StatusVerbCycle(VerbHandler onVerb, std::chrono::milliseconds interval)
    : onVerb_(std::move(onVerb)), interval_(interval) {}

void StatusVerbCycle::start() {
    // A new timer, so that nothing the old one had queued can still fire.
    stop();
    timer_ = std::make_unique<QTimer>();
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(interval_);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { onVerb_(nextVerb()); });
    timer_->start();
}

void StatusVerbCycle::stop() {
    timer_.reset();
}

} // namespace pennial
