#pragma once
// Crash and error reporting: a trail of breadcrumbs, errors captured on purpose, and reports of the
// crashes nobody caught. Nothing is recorded before start().

#include <exception>
#include <string>

namespace pennial {

enum class BreadcrumbLevel { debug, info, warning, error, fatal };

const char* breadcrumbLevelName(BreadcrumbLevel level);

struct Breadcrumb {
    BreadcrumbLevel level = BreadcrumbLevel::info;
    std::string category;
    std::string message;
    bool operator==(const Breadcrumb&) const = default;
};

struct CrashReporterOptions {
    std::string dsn;
    bool enableUncaughtExceptionReporting = false;
    double tracesSampleRate = 0;
    std::string environment;
    std::string releaseName;
    bool operator==(const CrashReporterOptions&) const = default;
};

// How a report names a captured error: its type (demangled) and its what().
struct ErrorSummary {
    std::string type;
    std::string description;
    bool operator==(const ErrorSummary&) const = default;
};

ErrorSummary summarizeError(std::exception_ptr error);

class CrashReporter {
public:
    virtual ~CrashReporter() = default;

    virtual void start(const CrashReporterOptions& options) = 0;
    virtual bool isStarted() const = 0;
    virtual void addBreadcrumb(Breadcrumb breadcrumb) = 0;
    // Reports the error (with the breadcrumbs so far); a null error is ignored.
    virtual void captureError(std::exception_ptr error) = 0;
};

// What the events say of the machine they come from.
struct CrashOsContext {
    std::string name; // the distribution, or "Linux"
    std::string version;
    std::string kernelVersion;
    std::string architecture;
};

} // namespace pennial
