// The profile rows of the hosted REST interface.
#include "base/json.hpp"
#include "fuzz_support.hpp"
#include "services/supabase_rows.hpp"

using namespace pennial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        decodeProfileRows(fuzz::text(data, size));
    } catch (const JsonShapeError&) {
    }
    return 0;
}
