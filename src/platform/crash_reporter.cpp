#include "platform/crash_reporter.hpp"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace pennial {
namespace {

std::string demangled(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

} // namespace

ErrorSummary summarizeError(std::exception_ptr error) {
    if (!error)
        return {};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return {demangled(typeid(e)), e.what()};
    } catch (...) {
        return {"unknown", "an exception of unknown type"};
    }
}

const char* breadcrumbLevelName(BreadcrumbLevel level) {
    switch (level) {
    case BreadcrumbLevel::debug:
        return "debug";
    case BreadcrumbLevel::info:
        return "info";
    case BreadcrumbLevel::warning:
        return "warning";
    case BreadcrumbLevel::error:
        return "error";
    case BreadcrumbLevel::fatal:
        return "fatal";
    }
    return "info";
}

} // namespace pennial
