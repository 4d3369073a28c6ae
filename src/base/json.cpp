#include "base/json.hpp"

#include <fmt/format.h>

namespace pennial::json {
namespace {

const Json* member(const Json& object, const char* key) {
    if (!object.is_object())
        throw JsonShapeError("expected an object");
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return nullptr;
    return &*it;
}

[[noreturn]] void wrongType(const char* key, const char* expected) {
    throw JsonShapeError(fmt::format("key \"{}\" is not {}", key, expected));
}

// 2001-01-01 00:00:00 UTC in Unix seconds.
constexpr double referenceEpoch = 978307200.0;

} // namespace

Json parse(std::string_view text) {
    try {
        return Json::parse(text);
    } catch (const Json::parse_error& e) {
        // Byte position only: the parser's own message can quote the input.
        throw JsonShapeError(fmt::format("malformed JSON at byte {}", e.byte));
    }
}

std::string dump(const Json& value, int indent) {
    return value.dump(indent, ' ', false, Json::error_handler_t::replace);
}

std::string dump(const OrderedJson& value, int indent) {
    return value.dump(indent, ' ', false, OrderedJson::error_handler_t::replace);
}

std::string requireString(const Json& object, const char* key) {
    auto value = optionalString(object, key);
    if (!value)
        throw JsonShapeError(fmt::format("key \"{}\" is missing", key));
    return *value;
}

bool requireBool(const Json& object, const char* key) {
    auto value = optionalBool(object, key);
    if (!value)
        throw JsonShapeError(fmt::format("key \"{}\" is missing", key));
    return *value;
}

double requireNumber(const Json& object, const char* key) {
    auto value = optionalNumber(object, key);
    if (!value)
        throw JsonShapeError(fmt::format("key \"{}\" is missing", key));
    return *value;
}

std::optional<std::string> optionalString(const Json& object, const char* key) {
    const Json* value = member(object, key);
    if (!value)
        return std::nullopt;
    if (!value->is_string())
        wrongType(key, "a string");
    return value->get<std::string>();
}

std::optional<bool> optionalBool(const Json& object, const char* key) {
    const Json* value = member(object, key);
    if (!value)
        return std::nullopt;
    if (!value->is_boolean())
        wrongType(key, "a Boolean");
    return value->get<bool>();
}

std::optional<double> optionalNumber(const Json& object, const char* key) {
    const Json* value = member(object, key);
    if (!value)
        return std::nullopt;
    if (!value->is_number())
        wrongType(key, "a number");
    return value->get<double>();
}

double toReferenceSeconds(WallTime time) {
    using namespace std::chrono;
    return duration<double>(time.time_since_epoch()).count() - referenceEpoch;
}

WallTime fromReferenceSeconds(double seconds) {
    using namespace std::chrono;
    return WallTime(
        duration_cast<system_clock::duration>(duration<double>(seconds + referenceEpoch)));
}

} // namespace pennial::json
