#pragma once

#include "tests/support/file_helpers.h"

#include <string_view>

namespace ferrocase::testing {

// The stored format, written down independently of the engine: within every 10000-byte block,
// every step-th byte from the first is XORed with the password, which restarts at each block.
Bytes protect(const Bytes& plain, std::string_view password, int step);

} // namespace ferrocase::testing
