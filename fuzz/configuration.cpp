// config.json: any document either decodes or is refused as a JsonShapeError, and a decoded one
// survives being written and read back.
#include "fuzz_support.hpp"
#include "services/app_config.hpp"

using namespace pennial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AppConfig config;
    try {
        config = AppConfig::fromJson(json::parse(fuzz::text(data, size)));
    } catch (const JsonShapeError&) {
        return 0;
    }
    auto written = json::dump(config.toJson(), 2);
    auto reread = AppConfig::fromJson(json::parse(written));
    fuzz::check(json::dump(reread.toJson(), 2) == written, "a saved configuration reads back");
    return 0;
}
