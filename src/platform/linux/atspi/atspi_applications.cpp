#include "platform/linux/atspi/atspi_applications.hpp"

#include <iterator>

namespace pennial {

namespace {

const char* busNameOf(AtspiAccessible* accessible) {
    const auto* object = ATSPI_OBJECT(accessible);
    return object->app ? object->app->bus_name : nullptr;
}

} // namespace

AtspiApplications::Entry* AtspiApplications::entryOf(AtspiCall& call, AtspiAccessible* accessible) {
    const char* busName = busNameOf(accessible);
    if (!busName || atspi_tree::isGone(accessible))
        return nullptr;
    if (auto found = entries_.find(busName); found != entries_.end()) {
        if (!atspi_tree::isGone(found->second.application.get()))
            return &found->second;
        entries_.erase(found);
    }
    atspi_tree::Object application;
    if (atspi_tree::role(call, accessible) == ATSPI_ROLE_APPLICATION)
        application = atspi_tree::ref(accessible);
    else
        application.reset(call(
            [&](GError** error) { return atspi_accessible_get_application(accessible, error); }));
    if (!application || call.failed())
        return nullptr;
    return &entries_.insert_or_assign(busName, Entry{std::move(application), {}, {}, {}})
                .first->second;
}

AtspiAccessible* AtspiApplications::of(AtspiCall& call, AtspiAccessible* accessible) {
    auto* entry = entryOf(call, accessible);
    return entry ? entry->application.get() : nullptr;
}

std::optional<Pid> AtspiApplications::pidOf(AtspiCall& call, AtspiAccessible* accessible) {
    auto* entry = entryOf(call, accessible);
    if (!entry)
        return std::nullopt;
    if (!entry->pid) {
        bool refused = false;
        const guint pid = call.quietly(
            [&](GError** error) {
                return atspi_accessible_get_process_id(entry->application.get(), error);
            },
            refused);
        if (refused || pid == 0 || pid == static_cast<guint>(-1))
            return std::nullopt;
        entry->pid = static_cast<Pid>(pid);
    }
    return entry->pid;
}

AtspiAccessible* AtspiApplications::withPid(AtspiCall& call, Pid pid) {
    forgetDeparted();
    for (auto& [busName, entry] : entries_)
        if (entry.pid == pid)
            return entry.application.get();
    atspi_tree::Object desktop(atspi_get_desktop(0));
    if (!desktop)
        return nullptr;
    constexpr int applicationLimit = 1000;
    for (auto& application : atspi_tree::children(call, desktop.get(), applicationLimit)) {
        if (call.failed())
            break;
        const char* busName = busNameOf(application.get());
        if (!busName)
            continue;
        if (auto known = entries_.find(busName); known != entries_.end() && known->second.pid)
            continue; // looked at above
        // The process id comes from the bus itself: the application is not asked anything until
        // it is the one, and this process's own might not answer while its caller waits for us.
        bool refused = false;
        const guint found = call.quietly(
            [&](GError** error) {
                return atspi_accessible_get_process_id(application.get(), error);
            },
            refused);
        if (refused || static_cast<Pid>(found) != pid)
            continue;
        auto& entry = entries_[busName];
        entry.application = std::move(application);
        entry.pid = pid;
        return entry.application.get();
    }
    return nullptr;
}

AtspiToolkit AtspiApplications::toolkitOf(AtspiCall& call, AtspiAccessible* accessible) {
    auto* entry = entryOf(call, accessible);
    if (!entry)
        return {};
    if (!entry->toolkit) {
        auto toolkit = takeString(call([&](GError** error) {
            return atspi_accessible_get_toolkit_name(entry->application.get(), error);
        }));
        auto name = takeString(call([&](GError** error) {
            return atspi_accessible_get_name(entry->application.get(), error);
        }));
        if (call.failed())
            return {};
        entry->toolkit = toolkitNamed(toolkit, name);
    }
    return *entry->toolkit;
}

std::shared_ptr<AtspiUnansweredCalls> AtspiApplications::unansweredBy(AtspiCall& call,
                                                                      AtspiAccessible* accessible) {
    auto* entry = entryOf(call, accessible);
    if (!entry)
        return nullptr;
    if (!entry->unanswered) {
        bool refused = false;
        auto name = takeString(call.quietly(
            [&](GError** error) {
                return atspi_accessible_get_name(entry->application.get(), error);
            },
            refused));
        entry->unanswered = std::make_shared<AtspiUnansweredCalls>(std::move(name));
    }
    return entry->unanswered;
}

void AtspiApplications::forgetDeparted() {
    for (auto entry = entries_.begin(); entry != entries_.end();)
        entry = atspi_tree::isGone(entry->second.application.get()) ? entries_.erase(entry)
                                                                    : std::next(entry);
}

} // namespace pennial
