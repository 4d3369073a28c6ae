#include "platform/linux/crash/local_crash_reporter.hpp"

#include "base/json.hpp"
#include "base/log.hpp"
#include "base/private_files.hpp"
#include "base/uuid.hpp"
#include "platform/linux/storage/atomic_file.hpp"
#include "platform/linux/storage/xdg_directories.hpp"

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace pennial {

// Each breadcrumb is kept as finished JSON in a fixed slot, so a signal handler can copy the trail
// into a report with nothing but write().
struct LocalCrashReporter::Ring {
    struct Slot {
        std::atomic<std::size_t> length{0};
        char text[768] = {};
    };
    std::array<Slot, maxBreadcrumbs> slots;
    std::atomic<std::uint64_t> added{0};
};

namespace {

using Ring = LocalCrashReporter::Ring;

constexpr int fatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr std::size_t maxFragment = sizeof(Ring::Slot::text) - 1;

// Everything the fatal paths need, prepared while the process is healthy.
struct FatalContext {
    std::atomic<LocalCrashReporter*> owner{nullptr};
    std::atomic<Ring*> ring{nullptr};
    std::atomic<bool> reportWritten{false};
    char folder[4096] = {};
    char header[2048] = {}; // the JSON members every report of this run shares
    struct sigaction previous[NSIG] = {};
    std::terminate_handler previousTerminate = nullptr;
    bool terminateInstalled = false;
};

FatalContext fatal;
// A stack of its own for the handler, so a stack overflow can still be reported.
alignas(16) char alternateStack[64 * 1024];

double nowSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string renderBreadcrumb(const Breadcrumb& breadcrumb) {
    auto message = breadcrumb.message;
    for (;;) {
        OrderedJson object;
        object["timestamp"] = nowSeconds();
        object["level"] = breadcrumbLevelName(breadcrumb.level);
        object["category"] = breadcrumb.category;
        object["message"] = message;
        auto text = json::dump(object);
        if (text.size() <= maxFragment || message.empty())
            return text.substr(0, maxFragment);
        auto excess = text.size() - maxFragment;
        message.resize(message.size() > excess + 3 ? message.size() - excess - 3 : 0);
        message += "...";
    }
}

void store(Ring& ring, std::string_view fragment) {
    auto index = ring.added.load(std::memory_order_relaxed) % ring.slots.size();
    auto& slot = ring.slots[index];
    slot.length.store(0, std::memory_order_release);
    std::memcpy(slot.text, fragment.data(), fragment.size());
    slot.length.store(fragment.size(), std::memory_order_release);
    ring.added.fetch_add(1, std::memory_order_release);
}

// Calls emit(text, length) for each kept breadcrumb, oldest first. Signal-safe.
template <class Emit> void forEachBreadcrumb(const Ring& ring, Emit emit) {
    auto added = ring.added.load(std::memory_order_acquire);
    auto count = added < ring.slots.size() ? added : ring.slots.size();
    for (std::uint64_t i = added - count; i < added; ++i) {
        const auto& slot = ring.slots[i % ring.slots.size()];
        auto length = slot.length.load(std::memory_order_acquire);
        if (length > 0)
            emit(slot.text, length);
    }
}

std::string breadcrumbsJson(const Ring& ring) {
    std::string out = "[";
    forEachBreadcrumb(ring, [&](const char* text, std::size_t length) {
        if (out.size() > 1)
            out += ",";
        out.append(text, length);
    });
    return out + "]";
}

std::string exceptionJson(const ErrorSummary& summary) {
    OrderedJson object;
    object["type"] = summary.type;
    object["value"] = summary.description;
    return json::dump(object);
}

// --- signal-safe output ---

void writeAll(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        auto written = ::write(fd, text, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

void writeAll(int fd, const char* text) {
    writeAll(fd, text, std::strlen(text));
}

// Writes the decimal digits of value into out (at least 21 bytes); returns their count.
std::size_t formatUnsigned(unsigned long long value, char* out) {
    char digits[21];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = digits[count - 1 - i];
    out[count] = '\0';
    return count;
}

const char* signalName(int signal) {
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    }
    return "unknown";
}

void appendText(char* buffer, std::size_t size, std::size_t& used, const char* text) {
    while (*text && used + 1 < size)
        buffer[used++] = *text++;
    buffer[used] = '\0';
}

void writeSignalReport(int signal) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char seconds[24];
    formatUnsigned(static_cast<unsigned long long>(now.tv_sec), seconds);
    char pid[24];
    formatUnsigned(static_cast<unsigned long long>(::getpid()), pid);
    char number[24];
    formatUnsigned(static_cast<unsigned long long>(signal), number);

    char path[sizeof(fatal.folder) + 64];
    std::size_t used = 0;
    appendText(path, sizeof path, used, fatal.folder);
    appendText(path, sizeof path, used, "/fatal-");
    appendText(path, sizeof path, used, seconds);
    appendText(path, sizeof path, used, "-");
    appendText(path, sizeof path, used, pid);
    appendText(path, sizeof path, used, ".json");

    int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    writeAll(fd, "{\"level\":\"fatal\",");
    writeAll(fd, fatal.header);
    writeAll(fd, "\"timestamp\":");
    writeAll(fd, seconds);
    writeAll(fd, ",\"signal\":{\"number\":");
    writeAll(fd, number);
    writeAll(fd, ",\"name\":\"");
    writeAll(fd, signalName(signal));
    writeAll(fd, "\"},\"breadcrumbs\":[");
    if (const Ring* ring = fatal.ring.load(std::memory_order_acquire)) {
        bool first = true;
        forEachBreadcrumb(*ring, [&](const char* text, std::size_t length) {
            if (!first)
                writeAll(fd, ",");
            first = false;
            writeAll(fd, text, length);
        });
    }
    writeAll(fd, "]}\n");
    ::fsync(fd);
    ::close(fd);
}

void onFatalSignal(int signal, siginfo_t*, void*) {
    if (!fatal.reportWritten.exchange(true))
        writeSignalReport(signal);
    // End the way the process would have ended without us: the earlier disposition, re-raised
    // when this handler returns.
    ::sigaction(signal, &fatal.previous[signal], nullptr);
    ::raise(signal);
}

} // namespace

struct CrashHandlers {
    static void install(LocalCrashReporter& reporter, const std::string& header,
                        bool uncaughtExceptions) {
        LocalCrashReporter* expected = nullptr;
        if (!fatal.owner.compare_exchange_strong(expected, &reporter))
            return; // another reporter already has them
        auto folder = reporter.folder_.string();
        if (folder.size() >= sizeof fatal.folder || header.size() >= sizeof fatal.header) {
            fatal.owner = nullptr;
            return;
        }
        std::memcpy(fatal.folder, folder.c_str(), folder.size() + 1);
        std::memcpy(fatal.header, header.c_str(), header.size() + 1);
        fatal.ring.store(reporter.ring_.get(), std::memory_order_release);
        fatal.reportWritten = false;

        stack_t stack{};
        stack.ss_sp = alternateStack;
        stack.ss_size = sizeof alternateStack;
        ::sigaltstack(&stack, nullptr);
        for (int signal : fatalSignals) {
            struct sigaction action {};
            action.sa_sigaction = onFatalSignal;
            action.sa_flags = SA_SIGINFO | SA_ONSTACK;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, &fatal.previous[signal]);
        }
        if (uncaughtExceptions) {
            fatal.previousTerminate = std::set_terminate(onTerminate);
            fatal.terminateInstalled = true;
        }
    }

    static void uninstall(LocalCrashReporter& reporter) {
        if (fatal.owner.load() != &reporter)
            return;
        for (int signal : fatalSignals)
            ::sigaction(signal, &fatal.previous[signal], nullptr);
        if (fatal.terminateInstalled) {
            std::set_terminate(fatal.previousTerminate);
            fatal.terminateInstalled = false;
        }
        fatal.ring = nullptr;
        fatal.owner = nullptr;
    }

    [[noreturn]] static void onTerminate() {
        auto* owner = fatal.owner.load();
        if (owner && !fatal.reportWritten.exchange(true))
            owner->writeTerminateReport(std::current_exception());
        if (auto previous = fatal.previousTerminate)
            previous();
        std::abort();
    }
};

LocalCrashReporter::LocalCrashReporter(std::filesystem::path reportsFolder,
                                       std::shared_ptr<const SecretScrubber> scrubber)
    : folder_(std::move(reportsFolder)), scrubber_(std::move(scrubber)),
      ring_(std::make_unique<Ring>()) {}

LocalCrashReporter::~LocalCrashReporter() {
    CrashHandlers::uninstall(*this);
}

std::filesystem::path LocalCrashReporter::defaultReportsFolder() {
    return xdgStateHome() / applicationFolderName / "crash-reports";
}

void LocalCrashReporter::start(const CrashReporterOptions& options) {
    std::lock_guard lock(mutex_);
    if (started_)
        return;
    started_ = true;
    options_ = options;
    try {
        createPrivateFolder(folder_); // reports can hold what the user was doing
    } catch (const std::filesystem::filesystem_error&) {
    }
    CrashHandlers::install(*this, reportHeader(), options.enableUncaughtExceptionReporting);
}

bool LocalCrashReporter::isStarted() const {
    std::lock_guard lock(mutex_);
    return started_;
}

void LocalCrashReporter::addBreadcrumb(Breadcrumb breadcrumb) {
    std::lock_guard lock(mutex_);
    if (!started_)
        return;
    breadcrumb.category = scrubber_->scrub(breadcrumb.category);
    breadcrumb.message = scrubber_->scrub(breadcrumb.message);
    store(*ring_, renderBreadcrumb(breadcrumb));
}

void LocalCrashReporter::captureError(std::exception_ptr error) {
    if (!error)
        return;
    auto summary = scrubbed(summarizeError(error));
    std::string report;
    {
        std::lock_guard lock(mutex_);
        if (!started_)
            return;
        report = "{\"event_id\":" + json::dump(Json(Uuid::random().toString())) +
                 ",\"level\":\"error\"," + reportHeader() +
                 "\"timestamp\":" + json::dump(Json(nowSeconds())) +
                 ",\"exception\":" + exceptionJson(summary) +
                 ",\"breadcrumbs\":" + breadcrumbsJson(*ring_) + "}\n";
    }
    auto name = fmt::format("error-{}-{}.json", static_cast<long long>(nowSeconds()),
                            Uuid::random().toString());
    try {
        writeFileAtomically(folder_ / name, report);
    } catch (const std::exception& e) {
        logf("⚠️ [CrashReporter] Failed to write an error report: {}", e.what());
    }
}

void LocalCrashReporter::writeTerminateReport(std::exception_ptr error) noexcept {
    try {
        ErrorSummary summary{"std::terminate", "terminate called without an active exception"};
        if (error) {
            // Never wait for the scrubber here: a failure inside it may have brought us here.
            summary = summarizeError(error);
            summary.type =
                scrubber_->tryScrub(summary.type).value_or(std::string(SecretScrubber::filtered));
            summary.description = scrubber_->tryScrub(summary.description)
                                      .value_or(std::string(SecretScrubber::filtered));
        }
        // No lock: terminate may be called while this thread holds it.
        auto report = "{\"level\":\"fatal\"," + std::string(fatal.header) +
                      "\"timestamp\":" + json::dump(Json(nowSeconds())) +
                      ",\"exception\":" + exceptionJson(summary) +
                      ",\"breadcrumbs\":" + breadcrumbsJson(*ring_) + "}\n";
        auto name = fmt::format("fatal-{}-{}.json", static_cast<long long>(nowSeconds()),
                                static_cast<long long>(::getpid()));
        writeFileAtomically(folder_ / name, report);
    } catch (...) {
        // Nothing more can be done on the way out.
    }
}

ErrorSummary LocalCrashReporter::scrubbed(ErrorSummary summary) const {
    return {scrubber_->scrub(summary.type), scrubber_->scrub(summary.description)};
}

std::string LocalCrashReporter::reportHeader() const {
    OrderedJson object;
    object["platform"] = "native";
    object["release"] = options_.releaseName;
    object["environment"] = options_.environment;
    auto text = json::dump(object);
    // The members without their braces, followed by a comma.
    return text.substr(1, text.size() - 2) + ",";
}

} // namespace pennial
