#include "app/crash_envelope.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <ctime>
#include <fmt/format.h>

namespace pennial {
namespace {

constexpr std::string_view clientName = "pennial.linux/" PENNIAL_VERSION;
// The service cuts longer messages itself; a report's size stays far below the queue's limit.
constexpr std::size_t maxValueLength = 8192;

std::string scrubbed(const SecretScrubber& scrubber, const Json& value) {
    if (!value.is_string())
        return {};
    auto text = scrubber.scrub(value.get<std::string>());
    if (text.size() > maxValueLength)
        text.resize(maxValueLength);
    return text;
}

std::uint64_t fnv1a(std::string_view text, std::uint64_t hash) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string eventId(const Json& report, std::string_view seed) {
    if (auto given = report.find("event_id"); given != report.end() && given->is_string()) {
        std::string id;
        for (char c : given->get<std::string>())
            if (std::isxdigit(static_cast<unsigned char>(c)))
                id += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (id.size() == 32)
            return id;
    }
    return fmt::format("{:016x}{:016x}", fnv1a(seed, 14695981039346656037ull),
                       fnv1a(seed, 1469598103934665603ull));
}

OrderedJson exceptionValue(const Json& report, const SecretScrubber& scrubber) {
    OrderedJson exception;
    OrderedJson mechanism;
    bool fatal = report.value("level", "") == "fatal";
    if (auto signal = report.find("signal"); signal != report.end() && signal->is_object()) {
        auto name = scrubbed(scrubber, signal->value("name", Json("unknown")));
        auto given = signal->find("number");
        // Only whole numbers: a converted double could be out of any integer's range.
        long long number =
            given != signal->end() && given->is_number_integer() ? given->get<long long>() : 0;
        exception["type"] = name;
        exception["value"] = fmt::format("Fatal signal {} ({})", name, number);
        mechanism["type"] = "signalhandler";
        mechanism["handled"] = false;
        mechanism["meta"]["signal"] = {{"number", number}, {"name", name}};
    } else {
        const auto& caught = report.contains("exception") ? report["exception"] : Json::object();
        exception["type"] = scrubbed(scrubber, caught.value("type", Json("unknown")));
        exception["value"] = scrubbed(scrubber, caught.value("value", Json("")));
        mechanism["type"] = fatal ? "terminate" : "generic";
        mechanism["handled"] = !fatal;
    }
    exception["mechanism"] = std::move(mechanism);
    return exception;
}

OrderedJson breadcrumbValues(const Json& report, const SecretScrubber& scrubber) {
    OrderedJson values = OrderedJson::array();
    auto trail = report.find("breadcrumbs");
    if (trail == report.end() || !trail->is_array())
        return values;
    for (const auto& crumb : *trail) {
        if (!crumb.is_object())
            continue;
        OrderedJson out;
        if (crumb.contains("timestamp") && crumb["timestamp"].is_number())
            out["timestamp"] = crumb["timestamp"].get<double>();
        out["level"] = scrubbed(scrubber, crumb.value("level", Json("info")));
        out["category"] = scrubbed(scrubber, crumb.value("category", Json("")));
        out["message"] = scrubbed(scrubber, crumb.value("message", Json("")));
        values.push_back(std::move(out));
    }
    return values;
}

std::string isoTime(std::chrono::system_clock::time_point time) {
    auto seconds = std::chrono::system_clock::to_time_t(time);
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

} // namespace

std::optional<CrashDsn> CrashDsn::parse(std::string_view text) {
    CrashDsn dsn;
    dsn.text = std::string(text);
    auto schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos)
        return std::nullopt;
    dsn.scheme = std::string(text.substr(0, schemeEnd));
    if (dsn.scheme != "https" && dsn.scheme != "http")
        return std::nullopt;
    auto rest = text.substr(schemeEnd + 3);
    auto at = rest.find('@');
    auto slash = rest.find('/');
    if (at == std::string_view::npos || slash == std::string_view::npos || at > slash)
        return std::nullopt;
    dsn.publicKey = std::string(rest.substr(0, std::min(at, rest.find(':'))));
    dsn.host = std::string(rest.substr(at + 1, slash - at - 1));
    auto path = rest.substr(slash);
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    auto lastSlash = path.rfind('/');
    dsn.pathPrefix = std::string(path.substr(0, lastSlash));
    dsn.projectId = std::string(path.substr(lastSlash + 1));
    auto isPlain = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
        });
    };
    if (dsn.publicKey.empty() || dsn.host.empty() || dsn.projectId.empty() ||
        !isPlain(dsn.publicKey) || !isPlain(dsn.projectId) ||
        dsn.host.find_first_of("?# ") != std::string::npos)
        return std::nullopt;
    return dsn;
}

std::string CrashDsn::envelopeURL() const {
    return fmt::format("{}://{}{}/api/{}/envelope/", scheme, host, pathPrefix, projectId);
}

std::string CrashDsn::authHeader() const {
    return fmt::format("Sentry sentry_version=7, sentry_client={}, sentry_key={}", clientName,
                       publicKey);
}

OrderedJson crashEvent(const Json& report, const SecretScrubber& scrubber, const CrashOsContext& os,
                       std::string_view idSeed) {
    OrderedJson event;
    event["event_id"] = eventId(report, idSeed);
    event["timestamp"] = report.contains("timestamp") && report["timestamp"].is_number()
                             ? report["timestamp"].get<double>()
                             : 0.0;
    event["platform"] = "native";
    event["level"] = report.value("level", "") == "fatal" ? "fatal" : "error";
    event["release"] = scrubbed(scrubber, report.value("release", Json("")));
    event["environment"] = scrubbed(scrubber, report.value("environment", Json("")));
    event["exception"]["values"] = OrderedJson::array({exceptionValue(report, scrubber)});
    event["breadcrumbs"]["values"] = breadcrumbValues(report, scrubber);
    OrderedJson osContext;
    osContext["type"] = "os";
    osContext["name"] = os.name;
    osContext["version"] = os.version;
    osContext["kernel_version"] = os.kernelVersion;
    event["contexts"]["os"] = std::move(osContext);
    event["contexts"]["device"] = {{"type", "device"}, {"arch", os.architecture}};
    event["sdk"] = {{"name", "pennial.linux"}, {"version", PENNIAL_VERSION}};
    return event;
}

std::string crashEnvelope(const OrderedJson& event, const CrashDsn& dsn,
                          std::chrono::system_clock::time_point sentAt) {
    OrderedJson header;
    header["event_id"] = event.value("event_id", "");
    header["dsn"] = dsn.text;
    header["sent_at"] = isoTime(sentAt);
    auto payload = json::dump(event);
    OrderedJson item;
    item["type"] = "event";
    item["length"] = payload.size();
    item["content_type"] = "application/json";
    return json::dump(header) + "\n" + json::dump(item) + "\n" + payload + "\n";
}

} // namespace pennial
