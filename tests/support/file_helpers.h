#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace ferrocase::testing {

using Bytes = std::vector<std::uint8_t>;

// The same bytes for the same seed, on every run.
Bytes random_bytes(std::size_t length, std::uint32_t seed);

void write_file(const std::filesystem::path& path, const Bytes& bytes);
Bytes read_file(const std::filesystem::path& path);

// The names in a folder, sorted: lets a test see that nothing was left behind.
std::vector<std::string> folder_listing(const std::filesystem::path& folder);

// Removes everything in the folder, which stays, for the next test to start from nothing.
void empty_folder(const std::filesystem::path& folder);

} // namespace ferrocase::testing
