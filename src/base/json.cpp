#include "base/json.hpp"

#include <cmath>
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

// Deeper documents are no answer a peer sends; printing or comparing them recurses once per level.
constexpr int maxNesting = 256;

// Checks the nesting of arrays and objects before the parser builds anything.
void checkNesting(std::string_view text) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxNesting)
                throw JsonShapeError("JSON nested too deeply");
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
}

} // namespace

Json parse(std::string_view text) {
    checkNesting(text);
    try {
        return Json::parse(text);
    } catch (const Json::parse_error& e) {
        // Byte position only: the parser's own message can quote the input.
        throw JsonShapeError(fmt::format("malformed JSON at byte {}", e.byte));
    } catch (const Json::exception&) {
        // A number beyond what a double holds, such as 1e999.
        throw JsonShapeError("a number in the JSON is out of range");
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
    // The clock counts nanoseconds in 64 bits: about 292 years either side of 1970.
    static const double limit = duration<double>(WallTime::duration::max()).count() * 0.99;
    double unixSeconds = seconds + referenceEpoch;
    if (!std::isfinite(unixSeconds) || std::abs(unixSeconds) >= limit)
        throw JsonShapeError("a date is out of range");
    return WallTime(duration_cast<system_clock::duration>(duration<double>(unixSeconds)));
}

} // namespace pennial::json
