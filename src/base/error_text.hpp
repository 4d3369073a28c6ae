#pragma once
// How an error is written out in status texts and log lines: the error value's own description.

#include <exception>
#include <string>

namespace pennial {

std::string describeError(std::exception_ptr error);

} // namespace pennial
