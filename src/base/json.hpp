#pragma once
// JSON helpers: typed reads that fail with a clear message, safe output, and the date form of the
// wire (seconds since 2001-01-01 00:00:00 UTC).

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

namespace pennial {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// A document or value that does not have the expected shape.
class JsonShapeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace json {

// Parses text; throws JsonShapeError without quoting the input (it may hold secrets), also for a
// number out of range or arrays and objects nested more than 256 deep.
Json parse(std::string_view text);

// Never throws on text cut inside a character: invalid UTF-8 is replaced.
std::string dump(const Json& value, int indent = -1);
std::string dump(const OrderedJson& value, int indent = -1);

// Required members: missing or of the wrong type throws JsonShapeError naming the key.
std::string requireString(const Json& object, const char* key);
bool requireBool(const Json& object, const char* key);
double requireNumber(const Json& object, const char* key);
// Optional members: absent or null is none; present with the wrong type throws.
std::optional<std::string> optionalString(const Json& object, const char* key);
std::optional<bool> optionalBool(const Json& object, const char* key);
std::optional<double> optionalNumber(const Json& object, const char* key);

using WallTime = std::chrono::system_clock::time_point;
double toReferenceSeconds(WallTime time);
// Throws JsonShapeError for a value the wall clock cannot hold (not finite, or centuries away).
WallTime fromReferenceSeconds(double seconds);

} // namespace json
} // namespace pennial
