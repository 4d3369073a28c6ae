// One command object of the configuration file, in its current and its legacy form.
#include "fuzz_support.hpp"
#include "text/command.hpp"

using namespace pennial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Command command;
    try {
        command = Command::fromJson(json::parse(fuzz::text(data, size)));
    } catch (const JsonShapeError&) {
        return 0;
    }
    auto written = json::dump(command.toJson());
    auto reread = Command::fromJson(json::parse(written));
    fuzz::check(json::dump(reread.toJson()) == written, "a written command reads back");
    return 0;
}
