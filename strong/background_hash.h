#pragma once

#include "strong/key_derivation.h"

#include <functional>

namespace ferrocase {

// derive_key in a thread of its own, so that the caller stays free while it runs (a window keeps
// drawing; a second stop signal need not wait for it). `keep_waiting` is called about every
// 20 ms until the hash is done. Once it returns false the hash is abandoned: it finishes unseen,
// wipes its copies, and the result is std::errc::operation_canceled. Without a thread to be had,
// the hash runs in the caller's.
std::error_code derive_key_in_background(std::string_view password,
                                         std::span<const std::uint8_t> salt,
                                         const KdfParameters& parameters, Key& key,
                                         const std::function<bool()>& keep_waiting);

} // namespace ferrocase
