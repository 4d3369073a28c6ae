#include "services/transform_response.hpp"

#include <cmath>

namespace pennial {

OrderedJson TransformResponse::toJson() const {
    OrderedJson object;
    object["transformedText"] = transformedText;
    if (processingTimeMs)
        object["processingTimeMs"] = *processingTimeMs;
    return object;
}

TransformResponse TransformResponse::fromJson(const Json& object) {
    TransformResponse response;
    response.transformedText = json::requireString(object, "transformedText");
    auto found = object.find("processingTimeMs");
    if (found == object.end() || found->is_null())
        return response;
    if (found->is_number_integer() &&
        !(found->is_number_unsigned() && found->get<std::uint64_t>() > INT64_MAX)) {
        response.processingTimeMs = found->get<std::int64_t>();
    } else if (found->is_number_float() &&
               std::trunc(found->get<double>()) == found->get<double>() &&
               std::abs(found->get<double>()) < 9.2e18) {
        response.processingTimeMs = std::int64_t(found->get<double>());
    } else {
        throw JsonShapeError("key \"processingTimeMs\" is not a whole number");
    }
    return response;
}

} // namespace pennial
