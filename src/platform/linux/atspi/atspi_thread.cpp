#include "platform/linux/atspi/atspi_thread.hpp"

#include <algorithm>
#include <atspi/atspi.h>
#include <cstdlib>
#include <pthread.h>

namespace pennial {

namespace {

// libatspi hands each application's direct connection to GLib's default main context, which Qt's
// GLib event loop would run on the user interface's thread: that thread then takes replies meant
// for this one, and moving a connection away from it while it dispatches the connection aborts
// in libdbus. Qt's own event loop never runs that context, so the connections are this thread's
// alone. Set before main, so before any application object exists.
const bool qtRunsItsOwnEventLoop = setenv("QT_NO_GLIB", "1", 0) == 0;

} // namespace

AtspiThread& AtspiThread::instance() {
    // Never destroyed: its thread may be waiting on the bus when the process exits.
    static AtspiThread* thread = new AtspiThread;
    return *thread;
}

AtspiThread::AtspiThread() {
    std::promise<void> started;
    auto ready = started.get_future();
    thread_ = std::thread([this, &started] { run(started); });
    ready.wait();
}

void AtspiThread::run(std::promise<void>& started) {
    pthread_setname_np(pthread_self(), "pennial-atspi");
    context_ = g_main_context_new();
    g_main_context_push_thread_default(context_);
    // The context can only be handed over once the library holds its connection: set earlier, the
    // connection stays on the default context and events arrive only during later calls.
    connected_ = atspi_init() == 0;
    if (connected_)
        atspi_set_main_context(context_);
    GMainLoop* loop = g_main_loop_new(context_, FALSE);
    started.set_value();
    g_main_loop_run(loop);
}

void AtspiThread::post(std::function<void()> work) {
    bool schedule = false;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
        schedule = !std::exchange(scheduled_, true);
    }
    if (!schedule)
        return;
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_callback(source, &AtspiThread::dispatchPending, this, nullptr);
    g_source_attach(source, context_);
    g_source_unref(source);
}

void AtspiThread::postAfter(std::chrono::milliseconds delay, std::function<void()> work) {
    GSource* source = g_timeout_source_new(
        static_cast<guint>(std::max<std::chrono::milliseconds::rep>(0, delay.count())));
    g_source_set_callback(
        source,
        [](gpointer data) -> gboolean {
            auto* held = static_cast<std::function<void()>*>(data);
            // Behind what the thread holds by then, as any posted work.
            instance().post(std::move(*held));
            return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(work)),
        [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
    g_source_attach(source, context_);
    g_source_unref(source);
}

void AtspiThread::keepConnectionHere(AtspiAccessible* accessible) {
    const auto* object = accessible ? ATSPI_OBJECT(accessible) : nullptr;
    auto* application = object ? object->app : nullptr;
    if (!application || !application->bus || !application->bus_name || !connected_ ||
        application->bus == atspi_get_a11y_bus())
        return;
    // A connection's address may come back for another application's new connection.
    auto moved = movedConnections_.find(application->bus);
    if (moved != movedConnections_.end() && moved->second == application->bus_name)
        return;
    movedConnections_[application->bus] = application->bus_name;
    atspi_dbus_connection_setup_with_g_main(application->bus, context_);
}

void AtspiThread::keepConnectionsHere() {
    if (!connected_)
        return;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop)
        return;
    if (desktop->children)
        for (guint i = 0; i < desktop->children->len; ++i)
            keepConnectionHere(
                static_cast<AtspiAccessible*>(g_ptr_array_index(desktop->children, i)));
    g_object_unref(desktop);
}

int AtspiThread::dispatchPending(void* self) {
    static_cast<AtspiThread*>(self)->drain();
    return G_SOURCE_REMOVE;
}

void AtspiThread::drain() {
    // Should a call's wait for its reply ever run the context, the work it finds stays queued for
    // the loop below: one piece of work at a time, each with the time-out it set.
    if (draining_)
        return;
    draining_ = true;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                scheduled_ = false;
                break;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
        keepConnectionsHere();
    }
    draining_ = false;
}

} // namespace pennial
