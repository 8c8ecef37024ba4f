#include "bench/bench_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

namespace ferrocase::bench {

void fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, message.c_str());
    std::exit(1);
}

void parse_options(int argc, char** argv, BenchOptions& options, const OtherOption& other) {
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string name = argv[index];
        const std::string value = argv[index + 1];
        if (name == "--size") {
            options.size = std::stoll(value);
        } else if (name == "--dir") {
            options.folder = value;
        } else if (name == "--rounds") {
            options.rounds = std::max(1, std::stoi(value));
        } else if (!other || !other(name, value)) {
            fail("unknown option " + name);
        }
    }
}

void create_random_file(const std::filesystem::path& path, std::int64_t size) {
    std::ofstream file(path, std::ios::binary);
    std::mt19937_64 generator(42);
    std::vector<std::uint64_t> chunk((1 << 20) / sizeof(std::uint64_t));
    for (std::int64_t written = 0; written < size;) {
        std::generate(chunk.begin(), chunk.end(), generator);
        const auto length =
            std::min<std::int64_t>(size - written, static_cast<std::int64_t>(chunk.size() * 8));
        file.write(reinterpret_cast<const char*>(chunk.data()), length);
        written += length;
    }
    if (!file) {
        fail("cannot create " + path.string());
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace ferrocase::bench
