#include "platform/linux/atspi/atspi_text_cache.hpp"

#include "platform/linux/activity/desktop_activity.hpp"
#include "platform/linux/atspi/atspi_thread.hpp"

#include <algorithm>
#include <cmath>
#include <dbus/dbus.h>
#include <memory>
#include <string_view>

namespace pennial {

namespace {

constexpr const char* textChangedEvents = "object:text-changed";
constexpr const char* caretMovedEvents = "object:text-caret-moved";
constexpr const char* focusEvents = "object:state-changed:focused";
// Reports received wait in the bus connection for the thread's loop: a few rounds of it take them.
constexpr int pendingReportRounds = 4;

// The peer's answer comes after every message it sent before it: its reports included. False
// when it gave none (a peer that does not answer pings is simply read).
bool ping(AtspiCall& call, const std::string& busName) {
    DBusConnection* bus = atspi_get_a11y_bus();
    if (!bus)
        return false;
    DBusMessage* message =
        dbus_message_new_method_call(busName.c_str(), "/", DBUS_INTERFACE_PEER, "Ping");
    if (!message)
        return false;
    const auto milliseconds = std::lround(std::clamp(call.timeout().count() * 1000.0, 1.0, 1e9));
    bool refused = false;
    const bool answered = call.quietly(
        [&](GError** error) {
            DBusError failure;
            dbus_error_init(&failure);
            DBusMessage* reply = dbus_connection_send_with_reply_and_block(
                bus, message, static_cast<int>(milliseconds), &failure);
            if (reply) {
                dbus_message_unref(reply);
                return true;
            }
            g_set_error_literal(error, g_quark_from_static_string("pennial-ping"), 0,
                                failure.message ? failure.message : "no answer");
            dbus_error_free(&failure);
            return false;
        },
        refused);
    dbus_message_unref(message);
    return answered && !refused;
}

} // namespace

AtspiTextCache::AtspiTextCache() {
    listener_ = atspi_event_listener_new(&AtspiTextCache::onEvent, this, nullptr);
    for (const char* events : {textChangedEvents, caretMovedEvents, focusEvents})
        atspi_event_listener_register(listener_, events, nullptr);
}

AtspiTextCache::~AtspiTextCache() {
    for (const char* events : {textChangedEvents, caretMovedEvents, focusEvents})
        atspi_event_listener_deregister(listener_, events, nullptr);
    g_object_unref(listener_);
}

std::optional<AtspiTextCache::Identity> AtspiTextCache::identityOf(AtspiAccessible* accessible) {
    const auto* object = accessible ? ATSPI_OBJECT(accessible) : nullptr;
    if (!object || !object->app || !object->app->bus_name || !object->path)
        return std::nullopt;
    return Identity{object->app->bus_name, object->path};
}

std::optional<std::string> AtspiTextCache::text(AtspiCall& call, AtspiAccessible* field) {
    auto identity = identityOf(field);
    lastRead_ = identity;
    if (!settle_.mayKeep(DesktopActivity::instance().keyPresses(),
                         std::chrono::steady_clock::now()))
        return std::nullopt;
    if (!entry_)
        return std::nullopt;
    if (!identity || !(entry_->field == *identity) || !isTrusted(*identity) ||
        std::chrono::steady_clock::now() - entry_->readAt >= maxAge)
        return std::nullopt;
    const auto keyPresses = DesktopActivity::instance().keyPresses();
    if (!ping(call, identity->busName))
        return std::nullopt;
    takeReports();
    if (!entry_)
        return std::nullopt;
    confirm(field, entry_->text, keyPresses);
    return entry_->text;
}

void AtspiTextCache::confirm(AtspiAccessible* field, const std::string& text,
                             std::uint64_t keyPresses) {
    auto identity = identityOf(field);
    if (!identity)
        return;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(confirmedMutex_);
    if (confirmed_ && confirmed_->identity == *identity) {
        const bool same = confirmed_->text == text && confirmed_->keyPresses == keyPresses;
        confirmed_->text = text;
        confirmed_->at = now;
        confirmed_->keyPresses = keyPresses;
        if (!same)
            DesktopActivity::instance().noteRestChange();
        return;
    }
    confirmed_ =
        Confirmed{AtspiElement::object(field), std::move(*identity), text, now, keyPresses};
    DesktopActivity::instance().noteRestChange();
}

void AtspiTextCache::dropConfirmed(const std::optional<Identity>& reporter) {
    std::lock_guard lock(confirmedMutex_);
    if (confirmed_ && (!reporter || reporter->busName == confirmed_->identity.busName)) {
        confirmed_.reset();
        DesktopActivity::instance().noteRestChange();
    }
}

std::optional<std::string> AtspiTextCache::quietText(const AtspiElement& field) const {
    std::lock_guard lock(confirmedMutex_);
    if (!answersQuietly(field))
        return std::nullopt;
    return confirmed_->text;
}

std::optional<std::chrono::steady_clock::time_point>
AtspiTextCache::quietUntil(const AtspiElement& field) const {
    std::lock_guard lock(confirmedMutex_);
    if (!answersQuietly(field))
        return std::nullopt;
    return confirmed_->at + maxAge;
}

bool AtspiTextCache::answersQuietly(const AtspiElement& field) const {
    return confirmed_ && confirmed_->field && field.sameElement(*confirmed_->field.handle()) &&
           confirmed_->keyPresses == DesktopActivity::instance().keyPresses() &&
           std::chrono::steady_clock::now() - confirmed_->at < maxAge;
}

void AtspiTextCache::takeReports() {
    for (int round = 0; round < pendingReportRounds; ++round)
        if (!g_main_context_iteration(g_main_context_get_thread_default(), FALSE))
            break;
}

void AtspiTextCache::reading(AtspiAccessible* field) {
    reading_ = identityOf(field);
    lastRead_ = reading_;
    keyPressesAtReading_ = DesktopActivity::instance().keyPresses();
    readingOvertaken_ = false;
}

void AtspiTextCache::store(AtspiAccessible* field, std::string text) {
    auto identity = identityOf(field);
    const bool whole = identity && reading_ == identity && !readingOvertaken_;
    reading_.reset();
    if (!whole) {
        entry_.reset();
        return;
    }
    // Only a field that reports its changes can be left unread while it reports none, and only
    // once the last key has had its effect.
    if (isTrusted(*identity) &&
        settle_.mayKeep(keyPressesAtReading_, std::chrono::steady_clock::now()))
        confirm(field, text, keyPressesAtReading_);
    entry_ = Entry{std::move(*identity), std::move(text), std::chrono::steady_clock::now()};
}

void AtspiTextCache::forget() {
    entry_.reset();
    dropConfirmed(std::nullopt);
}

bool AtspiTextCache::isTrusted(const Identity& field) const {
    return std::find(trusted_.begin(), trusted_.end(), field) != trusted_.end();
}

void AtspiTextCache::onEvent(AtspiEvent* received, void* self) {
    // The event is ours to free.
    std::unique_ptr<AtspiEvent, void (*)(AtspiEvent*)> event(
        received, [](AtspiEvent* done) { g_boxed_free(ATSPI_TYPE_EVENT, done); });
    const std::string_view type = event->type ? event->type : "";
    auto startsWith = [&](std::string_view prefix) {
        return type.substr(0, prefix.size()) == prefix;
    };
    AtspiThread::instance().keepConnectionHere(event->source);
    static_cast<AtspiTextCache*>(self)->changed(event->source, startsWith(textChangedEvents),
                                                startsWith(focusEvents));
}

void AtspiTextCache::changed(AtspiAccessible* source, bool textChanged, bool focusReport) {
    // Runs while another call waits for its reply, too: it only takes note, asking nothing.
    auto identity = identityOf(source);
    if (textChanged && identity) {
        std::erase(trusted_, *identity);
        trusted_.push_front(*identity);
        if (trusted_.size() > trustedFieldLimit)
            trusted_.pop_back();
    }
    // Anything in the field's application may be the field (or say it changed): its text goes.
    auto inApplicationOf = [&](const Identity& field) {
        return !identity || identity->busName == field.busName;
    };
    if (entry_ && inApplicationOf(entry_->field))
        entry_.reset();
    if (reading_ && inApplicationOf(*reading_))
        readingOvertaken_ = true;
    dropConfirmed(identity);
    // The poll looks at once when the field it reads says it changed; a focus report is left to
    // the poll's own time.
    if (identity && identity == lastRead_ && !focusReport)
        DesktopActivity::instance().fieldReported();
}

} // namespace pennial
