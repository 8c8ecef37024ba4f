#pragma once

#include "file_system/file_result.h"
#include "fxe/keystream.h"
#include "fxe/transform_state.h"

#include <atomic>
#include <cstdint>
#include <filesystem>

namespace ferrocase {

// The legacy format's decryption of `input` into `output`, a window at a time, with the progress
// advanced and the caller yielded to after every block. The source is never changed; the new
// file is only written, not synced nor named. Ok when it holds every byte of the source.
FileResult decrypt_windows(EngineState& state, const BlockMask& mask, RandomAccessFile& input,
                           RandomAccessFile& output, const FileStatus& status,
                           std::int64_t window_bytes, const std::atomic<bool>* stop,
                           const Yield& yield, const std::filesystem::path& source,
                           const std::filesystem::path& destination);

} // namespace ferrocase
