#pragma once

#include "strong/strong_file.h"
#include "tests/support/file_helpers.h"

#include <filesystem>
#include <optional>
#include <string>

namespace ferrocase::testing {

// The cheapest password hash: tests are about the format, not the hash's cost.
inline constexpr KdfParameters quick_kdf{.iterations = 1, .memory_kib = 8};
inline const std::string test_password = "pass\xC3\xA9word";

// Encrypts `plain` through files in `folder` and gives the stored bytes.
Bytes strong_encrypted(const std::filesystem::path& folder, const Bytes& plain,
                       const StrongHeader& header, const std::string& password = test_password);

struct Decrypted {
    FileResult result;
    std::optional<Bytes> plain;       // what is at the destination's name afterwards
    std::vector<std::string> listing; // the folder afterwards
};

// Decrypts `stored` from a file in `folder` (left there empty otherwise). When `old_plain` is
// given, a file of that content sits at the destination's name beforehand.
Decrypted strong_decrypted(const std::filesystem::path& folder, const Bytes& stored,
                           const std::string& password = test_password,
                           const std::optional<Bytes>& old_plain = std::nullopt);

} // namespace ferrocase::testing
