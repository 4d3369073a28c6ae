#include "platform/linux/wayland/wayland_clipboard.hpp"

#include "base/log.hpp"
#include "platform/linux/wayland/data_control_protocol.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <wayland-client.h>

namespace pennial {

namespace {

using namespace std::chrono_literals;

// How long the applications that own the clipboard have, together, to hand over what they offer.
constexpr auto handOverTime = 2s;

// The types a text is offered as: what Wayland applications and, through the compositor, X11 ones
// ask for.
const std::vector<std::string> plainTextTypes = {"text/plain;charset=utf-8", "text/plain",
                                                 "UTF8_STRING", "STRING", "TEXT"};

// Hands data to a pasting application on a thread of its own: a slow reader never holds the
// clipboard's thread, and one that goes away gets an error, not a signal.
void handOver(std::shared_ptr<const ClipboardItem> item, std::string type, int fd) {
    std::thread([item = std::move(item), type = std::move(type), fd] {
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        for (const auto& [offered, data] : item->representations) {
            if (offered != type)
                continue;
            std::size_t written = 0;
            while (written < data.size()) {
                const auto count = ::write(fd, data.data() + written, data.size() - written);
                if (count < 0 && errno == EINTR)
                    continue;
                if (count <= 0)
                    break;
                written += static_cast<std::size_t>(count);
            }
            break;
        }
        ::close(fd);
    }).detach();
}

// What the owner hands over on each pipe, read side by side (an owner may answer its requests in
// any order) until each is closed or the deadline passes; none for a pipe still open then.
std::vector<std::optional<std::string>> readAll(const std::vector<int>& fds,
                                                std::chrono::steady_clock::time_point deadline) {
    std::vector<std::optional<std::string>> data(fds.size(), std::string());
    std::vector<bool> open(fds.size(), true);
    char buffer[65536];
    for (;;) {
        std::vector<pollfd> waiting;
        std::vector<std::size_t> which;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (open[i]) {
                waiting.push_back({fds[i], POLLIN, 0});
                which.push_back(i);
            }
        }
        if (waiting.empty())
            return data;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int ready =
            left <= 0ms ? 0
                        : ::poll(waiting.data(), waiting.size(), static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            for (auto i : which)
                data[i].reset();
            return data;
        }
        for (std::size_t k = 0; k < waiting.size(); ++k) {
            if (waiting[k].revents == 0)
                continue;
            const auto i = which[k];
            const auto count = ::read(fds[i], buffer, sizeof buffer);
            if (count < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (count > 0) {
                data[i]->append(buffer, static_cast<std::size_t>(count));
                continue;
            }
            open[i] = false;
            if (count < 0)
                data[i].reset();
        }
    }
}

} // namespace

struct WaylandClipboard::Connection {
    wl_display* display = nullptr;
    wl_proxy* registry = nullptr;
    wl_proxy* seat = nullptr;
    wl_proxy* manager = nullptr;
    wl_proxy* device = nullptr;
    int wake = -1;
    std::thread thread;
    std::atomic<std::int64_t> changes{0};

    std::mutex tasksMutex;
    std::deque<std::function<void()>> tasks;
    bool stopping = false;

    // The clipboard's thread only, once it runs.
    std::map<wl_proxy*, std::vector<std::string>> announced; // offers whose selection is to come
    wl_proxy* selection = nullptr;
    std::vector<std::string> selectionTypes;
    // Ours, while the compositor has not taken it away.
    wl_proxy* source = nullptr;
    std::shared_ptr<const ClipboardItem> sourceItem;
    // Empty selections we asked for whose news has not come back yet.
    int ownClears = 0;
    bool usable = true;

    ~Connection() {
        if (thread.joinable()) {
            {
                std::lock_guard lock(tasksMutex);
                stopping = true;
            }
            wakeUp();
            thread.join();
        }
        if (wake >= 0)
            ::close(wake);
        if (!display)
            return;
        for (auto& [offer, types] : announced)
            data_control::destroyOffer(offer);
        if (selection)
            data_control::destroyOffer(selection);
        if (source)
            data_control::destroySource(source);
        if (device)
            data_control::destroyDevice(device);
        if (manager)
            data_control::destroyManager(manager);
        if (seat)
            wl_proxy_destroy(seat);
        if (registry)
            wl_proxy_destroy(registry);
        wl_display_flush(display);
        wl_display_disconnect(display);
    }

    void wakeUp() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake, &one, sizeof one);
    }

    // Runs task on the clipboard's thread and gives back what it returned; nothing once the thread
    // is stopping.
    template <typename Result> Result run(std::function<Result()> task) {
        auto promise = std::make_shared<std::promise<Result>>();
        auto done = promise->get_future();
        {
            std::lock_guard lock(tasksMutex);
            if (stopping)
                return {};
            tasks.emplace_back([promise, task = std::move(task)] { promise->set_value(task()); });
        }
        wakeUp();
        return done.get();
    }

    void serve() {
        const int displayFd = wl_display_get_fd(display);
        for (;;) {
            std::deque<std::function<void()>> now;
            {
                std::lock_guard lock(tasksMutex);
                now.swap(tasks);
                if (stopping && now.empty())
                    return;
            }
            for (auto& task : now)
                task();
            bool reading = false;
            if (usable) {
                while (wl_display_prepare_read(display) != 0)
                    wl_display_dispatch_pending(display);
                reading = true;
                wl_display_flush(display);
            }
            pollfd fds[2] = {{wake, POLLIN, 0}, {displayFd, POLLIN, 0}};
            const int polled = ::poll(fds, usable ? 2 : 1, -1);
            if (reading) {
                if (polled > 0 && fds[1].revents != 0) {
                    if (wl_display_read_events(display) < 0)
                        lost("its connection ended");
                } else {
                    wl_display_cancel_read(display);
                }
            }
            if (usable && wl_display_dispatch_pending(display) < 0)
                lost("its connection ended");
            if (fds[0].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] auto read = ::read(wake, &count, sizeof count);
            }
        }
    }

    void lost(const char* why) {
        if (!usable)
            return;
        usable = false;
        logf("⚠️ [Platform] The Wayland clipboard is gone ({}): the clipboard is left as it is",
             why);
    }

    // What the compositor tells of the selection.
    static void dataOffer(void* data, wl_proxy*, wl_proxy* offer) {
        static const data_control::OfferListener listener = {
            [](void* data, wl_proxy* offer, const char* type) {
                static_cast<Connection*>(data)->announced[offer].emplace_back(type);
            }};
        auto* self = static_cast<Connection*>(data);
        self->announced[offer];
        wl_proxy_add_listener(
            offer,
            reinterpret_cast<void (**)(void)>(const_cast<data_control::OfferListener*>(&listener)),
            self);
    }

    static void selectionChanged(void* data, wl_proxy*, wl_proxy* offer) {
        auto* self = static_cast<Connection*>(data);
        if (self->selection)
            data_control::destroyOffer(self->selection);
        self->selection = offer;
        self->selectionTypes.clear();
        if (auto types = self->announced.find(offer); offer && types != self->announced.end()) {
            self->selectionTypes = std::move(types->second);
            self->announced.erase(types);
        }
        // The news of our own writes: counted when they were made. (The compositor takes a
        // source away before it tells of the next selection.)
        if (self->source)
            return;
        if (!offer && self->ownClears > 0) {
            --self->ownClears;
            return;
        }
        if (offer)
            self->ownClears = 0;
        ++self->changes;
    }

    static void finished(void* data, wl_proxy* device) {
        auto* self = static_cast<Connection*>(data);
        data_control::destroyDevice(device);
        self->device = nullptr;
        self->lost("the compositor ended it");
    }

    static void send(void* data, wl_proxy* source, const char* type, std::int32_t fd) {
        auto* self = static_cast<Connection*>(data);
        if (source != self->source || !self->sourceItem) {
            ::close(fd);
            return;
        }
        handOver(self->sourceItem, type, fd);
    }

    static void cancelled(void* data, wl_proxy* source) {
        auto* self = static_cast<Connection*>(data);
        data_control::destroySource(source);
        if (source != self->source)
            return;
        self->source = nullptr;
        self->sourceItem.reset();
    }

    // The clipboard's thread only.
    void offer(ClipboardItem item) {
        static const data_control::SourceListener listener = {send, cancelled};
        if (!usable || !device)
            return;
        wl_proxy* made = data_control::createSource(manager);
        wl_proxy_add_listener(
            made,
            reinterpret_cast<void (**)(void)>(const_cast<data_control::SourceListener*>(&listener)),
            this);
        for (const auto& [type, bytes] : item.representations)
            data_control::offer(made, type.c_str());
        data_control::setSelection(device, made);
        // The source it replaces is taken away by the compositor, which says so.
        source = made;
        sourceItem = std::make_shared<const ClipboardItem>(std::move(item));
        ++changes;
        wl_display_flush(display);
    }

    void empty() {
        if (!usable || !device)
            return;
        data_control::setSelection(device, nullptr);
        source = nullptr;
        sourceItem.reset();
        ++ownClears;
        ++changes;
        wl_display_flush(display);
    }

    struct Pending {
        std::string type;
        int fd;
    };
    struct Reading {
        std::optional<ClipboardItem> ours;
        std::vector<Pending> pending;
    };

    // Our own contents as they are, or a pipe for each type the owner is asked to write.
    Reading ask() {
        Reading reading;
        if (!usable)
            return reading;
        if (source) {
            reading.ours = *sourceItem;
            return reading;
        }
        if (!selection)
            return reading;
        for (const auto& type : typesWorthKeeping(selectionTypes)) {
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0)
                break;
            data_control::receive(selection, type.c_str(), ends[1]);
            ::close(ends[1]);
            reading.pending.push_back({type, ends[0]});
        }
        wl_display_flush(display);
        return reading;
    }
};

std::unique_ptr<WaylandClipboard> WaylandClipboard::connect() {
    auto connection = std::make_unique<Connection>();
    connection->display = wl_display_connect(nullptr);
    if (!connection->display)
        return nullptr;
    static const wl_registry_listener registryListener = {
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
           std::uint32_t) {
            auto* self = static_cast<Connection*>(data);
            if (!self->seat && std::strcmp(interface, wl_seat_interface.name) == 0)
                self->seat =
                    static_cast<wl_proxy*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            else if (!self->manager &&
                     std::strcmp(interface, data_control::managerInterface.name) == 0)
                self->manager = static_cast<wl_proxy*>(
                    wl_registry_bind(registry, name, &data_control::managerInterface, 1));
        },
        [](void*, wl_registry*, std::uint32_t) {}};
    auto* registry = wl_display_get_registry(connection->display);
    connection->registry = reinterpret_cast<wl_proxy*>(registry);
    wl_registry_add_listener(registry, &registryListener, connection.get());
    if (wl_display_roundtrip(connection->display) < 0 || !connection->seat || !connection->manager)
        return nullptr;
    static const data_control::DeviceListener deviceListener = {
        Connection::dataOffer, Connection::selectionChanged, Connection::finished,
        [](void*, wl_proxy*, wl_proxy*) {}};
    connection->device = data_control::getDevice(connection->manager, connection->seat);
    wl_proxy_add_listener(connection->device,
                          reinterpret_cast<void (**)(void)>(
                              const_cast<data_control::DeviceListener*>(&deviceListener)),
                          connection.get());
    // The selection as it stands, before anyone asks for it.
    if (wl_display_roundtrip(connection->display) < 0)
        return nullptr;
    connection->changes = 0;
    connection->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (connection->wake < 0)
        return nullptr;
    connection->thread = std::thread([raw = connection.get()] { raw->serve(); });
    return std::unique_ptr<WaylandClipboard>(new WaylandClipboard(std::move(connection)));
}

WaylandClipboard::WaylandClipboard(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

WaylandClipboard::~WaylandClipboard() = default;

ClipboardSnapshot WaylandClipboard::snapshot() {
    auto reading = connection_->run<Connection::Reading>([this] { return connection_->ask(); });
    if (reading.ours)
        return {std::move(*reading.ours)};
    std::vector<int> fds;
    for (const auto& pending : reading.pending)
        fds.push_back(pending.fd);
    auto data = readAll(fds, std::chrono::steady_clock::now() + handOverTime);
    ClipboardItem item;
    bool late = false;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        ::close(fds[i]);
        late = late || !data[i];
        if (data[i] && !data[i]->empty())
            item.representations.emplace_back(reading.pending[i].type, std::move(*data[i]));
    }
    if (late)
        logLine("⚠️ [Platform] The application that owns the clipboard did not hand over all "
                "it holds in time");
    if (item.representations.empty())
        return {};
    return {std::move(item)};
}

void WaylandClipboard::clear() {
    connection_->run<bool>([this] {
        connection_->empty();
        return true;
    });
}

void WaylandClipboard::setText(const std::string& text) {
    ClipboardItem item;
    for (const auto& type : plainTextTypes)
        item.representations.emplace_back(type, text);
    write({std::move(item)});
}

void WaylandClipboard::write(const ClipboardSnapshot& items) {
    if (items.empty() || items.front().representations.empty()) {
        clear();
        return;
    }
    // Like X11's, a Wayland clipboard holds a single item.
    connection_->run<bool>([this, item = items.front()] {
        connection_->offer(item);
        return true;
    });
}

std::int64_t WaylandClipboard::changeCount() {
    return connection_->changes;
}

} // namespace pennial
