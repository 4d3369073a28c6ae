#include "base/error_text.hpp"

#include <stdexcept>

namespace pennial {

std::string describeError(std::exception_ptr error) {
    if (!error)
        return "no error";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

} // namespace pennial
