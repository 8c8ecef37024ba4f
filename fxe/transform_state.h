#pragma once

#include "fxe/keystream.h"

#include <cstdint>
#include <functional>

namespace ferrocase {

// Everything the file transform reads and advances. The progress counters are read by whoever
// displays progress while the transform yields.
struct EngineState : KeystreamState {
    std::int32_t block_size = 10000;
    std::int64_t source_length = 0;
    std::int64_t file_position = 0; // 1-based position of the block being processed
};

// Called at every point where the transform lets the user interface catch up.
using Yield = std::function<void()>;

} // namespace ferrocase
