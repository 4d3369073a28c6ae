#pragma once
// The crash-reporting service's ingestion protocol: its data source name (DSN), and the envelope
// (newline-delimited JSON: envelope header, item header, event) that carries one report there.

#include "base/json.hpp"
#include "base/secret_scrubber.hpp"
#include "platform/crash_reporter.hpp"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace pennial {

// "https://PUBLIC_KEY@HOST/PROJECT_ID", with an optional port and path before the project id.
struct CrashDsn {
    std::string text; // as given
    std::string scheme;
    std::string publicKey;
    std::string host;       // with the port, when there is one
    std::string pathPrefix; // "" or "/path"
    std::string projectId;

    // None for anything that is not an http(s) address with a key and a project id.
    static std::optional<CrashDsn> parse(std::string_view text);

    std::string envelopeURL() const;
    // The value of the X-Sentry-Auth header.
    std::string authHeader() const;
};

// The service's event for a report as this machine keeps it (an error capture or a fatal report),
// every string from the report scrubbed again. idSeed names the report when it carries no id of
// its own, so that a report sent twice keeps one id.
OrderedJson crashEvent(const Json& report, const SecretScrubber& scrubber, const CrashOsContext& os,
                       std::string_view idSeed);

// The envelope that carries the event.
std::string crashEnvelope(const OrderedJson& event, const CrashDsn& dsn,
                          std::chrono::system_clock::time_point sentAt);

} // namespace pennial
