// The product backend's transform answer.
#include "fuzz_support.hpp"
#include "services/transform_response.hpp"

using namespace pennial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TransformResponse response;
    try {
        response = TransformResponse::fromJson(json::parse(fuzz::text(data, size)));
    } catch (const JsonShapeError&) {
        return 0;
    }
    auto reread = TransformResponse::fromJson(json::parse(json::dump(response.toJson())));
    fuzz::check(reread.processingTimeMs == response.processingTimeMs,
                "the processing time reads back");
    return 0;
}
