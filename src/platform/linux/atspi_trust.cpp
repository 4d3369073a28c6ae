#include "platform/linux/atspi_trust.hpp"

#include <gio/gio.h>

namespace pennial {

namespace {

constexpr const char* launcherName = "org.a11y.Bus";
constexpr const char* launcherPath = "/org/a11y/bus";
constexpr const char* statusInterface = "org.a11y.Status";
constexpr const char* enabledProperty = "IsEnabled";
constexpr int replyTimeoutMs = 1000;

// A reference to the session bus connection GIO shares in the process; null without one.
GDBusConnection* sessionBus() {
    return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
}

} // namespace

std::optional<bool> atspiAccessibilityEnabled() {
    GDBusConnection* bus = sessionBus();
    if (!bus)
        return std::nullopt;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, launcherName, launcherPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", statusInterface, enabledProperty), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, replyTimeoutMs, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply)
        return std::nullopt;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    std::optional<bool> enabled;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN))
        enabled = g_variant_get_boolean(value);
    g_variant_unref(value);
    g_variant_unref(reply);
    return enabled;
}

bool enableAtspiAccessibility() {
    GDBusConnection* bus = sessionBus();
    if (!bus)
        return false;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, launcherName, launcherPath, "org.freedesktop.DBus.Properties", "Set",
        g_variant_new("(ssv)", statusInterface, enabledProperty, g_variant_new_boolean(TRUE)),
        nullptr, G_DBUS_CALL_FLAGS_NONE, replyTimeoutMs, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

} // namespace pennial
