#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ferrocase::bench {

// What every benchmark is told on its command line.
struct BenchOptions {
    std::int64_t size = std::int64_t{1} << 30;
    std::filesystem::path folder;
    int rounds = 3;
};

// Says what went wrong, under the program's name, and exits with 1.
[[noreturn]] void fail(const std::string& message);

// Reads "--size BYTES", "--dir FOLDER" and "--rounds N" into `options`. Any other option goes to
// `other`, which answers false for one it does not know either; that one fails.
using OtherOption = std::function<bool(const std::string& name, const std::string& value)>;
void parse_options(int argc, char** argv, BenchOptions& options, const OtherOption& other = {});

// A file of `size` bytes, the same pseudo-random bytes on every run.
void create_random_file(const std::filesystem::path& path, std::int64_t size);

double median(std::vector<double> values);

} // namespace ferrocase::bench
