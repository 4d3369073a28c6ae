// The command rows of the hosted REST interface: what decodes can be pushed back.
#include "base/json.hpp"
#include "fuzz_support.hpp"
#include "services/supabase_rows.hpp"

using namespace pennial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<Command> commands;
    try {
        commands = decodeCommandRows(fuzz::text(data, size));
    } catch (const JsonShapeError&) {
        return 0;
    }
    json::dump(commandsPushBody(commands));
    return 0;
}
