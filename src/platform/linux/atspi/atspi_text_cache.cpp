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

AtspiTextCache::AtspiTextCache() : kept_([] { DesktopActivity::instance().noteRestChange(); }) {
    listener_ = atspi_event_listener_new(&AtspiTextCache::onEvent, this, nullptr);
    for (const char* events : {textChangedEvents, caretMovedEvents, focusEvents})
        atspi_event_listener_register(listener_, events, nullptr);
}

AtspiTextCache::~AtspiTextCache() {
    for (const char* events : {textChangedEvents, caretMovedEvents, focusEvents})
        atspi_event_listener_deregister(listener_, events, nullptr);
    g_object_unref(listener_);
}

std::optional<KeptFieldText::Field> AtspiTextCache::identityOf(AtspiAccessible* accessible) {
    const auto* object = accessible ? ATSPI_OBJECT(accessible) : nullptr;
    if (!object || !object->app || !object->app->bus_name || !object->path)
        return std::nullopt;
    return KeptFieldText::Field{object->app->bus_name, object->path};
}

std::optional<std::string> AtspiTextCache::text(AtspiCall& call, AtspiAccessible* field) {
    auto identity = identityOf(field);
    const auto keyPresses = DesktopActivity::instance().keyPresses();
    if (!kept_.mayHandOut(identity, keyPresses, std::chrono::steady_clock::now()))
        return std::nullopt;
    if (!ping(call, identity->busName))
        return std::nullopt;
    takeReports();
    return kept_.handOut(
        *identity, [field] { return AtspiElement::object(field); }, keyPresses,
        std::chrono::steady_clock::now());
}

std::optional<std::string> AtspiTextCache::quietText(const AtspiElement& field) const {
    return kept_.quietText(field, DesktopActivity::instance().keyPresses(),
                           std::chrono::steady_clock::now());
}

std::optional<std::chrono::steady_clock::time_point>
AtspiTextCache::quietUntil(const AtspiElement& field) const {
    return kept_.quietUntil(field, DesktopActivity::instance().keyPresses(),
                            std::chrono::steady_clock::now());
}

void AtspiTextCache::takeReports() {
    for (int round = 0; round < pendingReportRounds; ++round)
        if (!g_main_context_iteration(g_main_context_get_thread_default(), FALSE))
            break;
}

void AtspiTextCache::reading(AtspiAccessible* field) {
    kept_.reading(identityOf(field), DesktopActivity::instance().keyPresses());
}

void AtspiTextCache::store(AtspiAccessible* field, std::string text) {
    kept_.store(
        identityOf(field), [field] { return AtspiElement::object(field); }, std::move(text),
        std::chrono::steady_clock::now());
}

void AtspiTextCache::forget() {
    kept_.forget();
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
    // Runs while another call waits for its reply, too: it only takes note, asking nothing.
    auto& cache = *static_cast<AtspiTextCache*>(self);
    if (cache.kept_.reported(identityOf(event->source), startsWith(textChangedEvents),
                             startsWith(focusEvents)))
        DesktopActivity::instance().fieldReported();
}

} // namespace pennial
