// Measures the engine against the plain I/O pattern it is built on: reading and writing back
// every 10000-byte block at its position, then one flush to disk, as every run ends. Also many
// small files in one run against opening, reading and writing back each, then one syncfs.
// Prints MB/s, the ratio to those patterns, and peak memory.
//
//   ferrocase_bench [--size BYTES] [--dir FOLDER] [--rounds N] [--small-files N] [--cli PATH]

#include "bench/bench_support.h"
#include "durable_run/durable_run.h"
#include "file_system/file_result.h"
#include "fxe/transform_state.h"
#include "ui/frame_yield.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace ferrocase;
using namespace ferrocase::bench;

namespace {

using Clock = std::chrono::steady_clock;

struct Settings : BenchOptions {
    int small_files = 10000;
    fs::path cli;
};

std::uint64_t fnv1a(const fs::path& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        fail("cannot read " + path.string());
    }
    std::uint64_t hash = 1469598103934665603ULL;
    std::vector<unsigned char> buffer(1 << 20);
    std::size_t count = 0;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        for (std::size_t index = 0; index < count; ++index) {
            hash = (hash ^ buffer[index]) * 1099511628211ULL;
        }
    }
    std::fclose(file);
    return hash;
}

// The pattern the engine's I/O is measured against: one read and one write per 10000-byte block.
void raw_block_pattern(const fs::path& path) {
    const int descriptor = ::open(path.c_str(), O_RDWR);
    if (descriptor < 0) {
        fail("cannot open " + path.string());
    }
    std::vector<unsigned char> block(10000);
    for (off_t offset = 0;; offset += 10000) {
        const ssize_t count = ::pread(descriptor, block.data(), block.size(), offset);
        if (count <= 0) {
            break;
        }
        if (::pwrite(descriptor, block.data(), static_cast<std::size_t>(count), offset) != count) {
            fail("write failed in the raw pattern");
        }
    }
    ::fdatasync(descriptor);
    ::close(descriptor);
}

// What any decryption must at least do: the same blocks read and written into a new file.
void raw_copy_pattern(const fs::path& from, const fs::path& to) {
    const int source = ::open(from.c_str(), O_RDONLY);
    const int destination = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (source < 0 || destination < 0) {
        fail("cannot open the files of the raw copy");
    }
    std::vector<unsigned char> block(10000);
    for (off_t offset = 0;; offset += 10000) {
        const ssize_t count = ::pread(source, block.data(), block.size(), offset);
        if (count <= 0) {
            break;
        }
        if (::pwrite(destination, block.data(), static_cast<std::size_t>(count), offset) != count) {
            fail("write failed in the raw copy");
        }
    }
    ::fdatasync(destination);
    ::close(source);
    ::close(destination);
}

// Files of 0 to 8 KB, as a folder of documents holds them.
std::vector<fs::path> create_small_files(const fs::path& folder, int count) {
    fs::create_directories(folder);
    std::mt19937 generator(7);
    std::vector<fs::path> files;
    std::vector<unsigned char> bytes(8192);
    for (int index = 0; index < count; ++index) {
        const fs::path path = folder / ("doc-" + std::to_string(index));
        std::generate(bytes.begin(), bytes.end(), generator);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, generator() % 8193, file);
        std::fclose(file);
        files.push_back(path);
    }
    return files;
}

// What any durable run over small files must at least do.
void raw_small_file_pattern(const std::vector<fs::path>& files) {
    std::vector<unsigned char> bytes(8192);
    for (const fs::path& path : files) {
        const int descriptor = ::open(path.c_str(), O_RDWR);
        const ssize_t count = ::pread(descriptor, bytes.data(), bytes.size(), 0);
        if (descriptor < 0 || count < 0 ||
            ::pwrite(descriptor, bytes.data(), static_cast<std::size_t>(count), 0) != count) {
            fail("the raw small-file pattern failed on " + path.string());
        }
        ::close(descriptor);
    }
    const int folder = ::open(files.front().parent_path().c_str(), O_RDONLY);
    ::syncfs(folder);
    ::close(folder);
}

std::uint64_t folder_hash(const std::vector<fs::path>& files) {
    std::uint64_t hash = 0;
    for (const fs::path& path : files) {
        hash = hash * 31 + fnv1a(path);
    }
    return hash;
}

double seconds_of(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void check(const FileResult& result) {
    if (!result.ok()) {
        fail(result.describe());
    }
}

// Peak resident memory of the command-line front end encrypting the file twice (leaving it as it
// was), in KiB, as /usr/bin/time reports it: a child forked from this benchmark would count the
// benchmark's own pages too.
long cli_peak_kib(const fs::path& cli, const std::vector<fs::path>& files, const fs::path& folder) {
    const fs::path password_file = folder / "bench-password";
    const fs::path report = folder / "bench-peak";
    std::FILE* out = std::fopen(password_file.c_str(), "w");
    std::fputs("bench password\n", out);
    std::fclose(out);
    long peak = 0;
    for (int pass = 0; pass < 2; ++pass) {
        std::string command = "/usr/bin/time -f %M -o '" + report.string() + "' '" + cli.string() +
                              "' --password-file '" + password_file.string() + "'";
        for (const fs::path& file : files) {
            command += " '" + file.string() + "'";
        }
        command += " >/dev/null";
        if (std::system(command.c_str()) != 0) {
            fail("ferrocase-cli failed");
        }
        std::FILE* in = std::fopen(report.c_str(), "r");
        long kib = 0;
        if (!in || std::fscanf(in, "%ld", &kib) != 1) {
            fail("no peak memory from /usr/bin/time");
        }
        std::fclose(in);
        peak = std::max(peak, kib);
    }
    fs::remove(password_file);
    fs::remove(report);
    return peak;
}

Settings parse(int argc, char** argv) {
    Settings settings;
    settings.folder = fs::current_path();
    settings.cli = fs::path(argv[0]).parent_path().parent_path() / "app" / "ferrocase-cli";
    parse_options(argc, argv, settings, [&](const std::string& name, const std::string& value) {
        if (name == "--small-files") {
            settings.small_files = std::max(1, std::stoi(value));
        } else if (name == "--cli") {
            settings.cli = value;
        } else {
            return false;
        }
        return true;
    });
    return settings;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const Settings settings = parse(argc, argv);
    const fs::path plain = settings.folder / "ferrocase-bench.bin";
    const fs::path encrypted = settings.folder / "ferrocase-bench.bin.fxe";

    std::printf("file: %s, %lld bytes; %d rounds, measurements alternate within each round\n",
                plain.c_str(), static_cast<long long>(settings.size), settings.rounds);
    std::printf(
        "yield: the window's FrameYield (QCoreApplication::processEvents() at most once per "
        "16 ms), called at every point the engine yields\n");
    create_random_file(plain, settings.size);
    const std::uint64_t original = fnv1a(plain);
    // Every timed write into a new file follows the deletion of a file of the same size, so that
    // each finds the same recycled memory; on a virtual machine, memory the guest has never
    // touched costs several times more.
    const fs::path spare = settings.folder / "ferrocase-bench.spare";
    create_random_file(spare, settings.size);

    EngineState state;
    state.password = "bench password";
    const Yield yield = FrameYield();
    // The recovery record beside the data, so that the in-memory figures are all in memory.
    const fs::path journal = settings.folder / "ferrocase-bench-state";
    const auto encrypt = [&](const fs::path& file) {
        DurableRun run(local_file_system(), journal);
        run.encrypt(state, file, 0, yield);
        run.complete();
        check(run.take_outcomes().at(0).result);
    };
    const auto encrypt_all = [&](const std::vector<fs::path>& files) {
        DurableRun run(local_file_system(), journal);
        for (std::size_t index = 0; index < files.size(); ++index) {
            run.encrypt(state, files[index], static_cast<int>(index), yield);
        }
        run.complete();
        for (const auto& outcome : run.take_outcomes()) {
            check(outcome.result);
        }
    };
    std::map<std::string, std::vector<double>> timings;
    const auto decrypt = [&](const char* name) {
        timings[name].push_back(seconds_of([&] {
            DurableRun run(local_file_system(), journal);
            run.decrypt(state, encrypted, plain, 0, yield);
            run.complete();
            check(run.take_outcomes().at(0).result);
        }));
        if (fnv1a(plain) != original) {
            fail("decryption did not give the plain file back");
        }
    };
    const std::string dd = "dd if=" + plain.string() + " of=" + plain.string() +
                           " bs=4M conv=notrunc,fdatasync status=none";
    for (int round = 0; round < settings.rounds; ++round) {
        timings["raw 10000-byte pattern"].push_back(seconds_of([&] { raw_block_pattern(plain); }));
        timings["dd bs=4M notrunc,fdatasync"].push_back(seconds_of([&] {
            if (std::system(dd.c_str()) != 0) {
                fail("dd failed");
            }
        }));
        fs::remove(spare);
        timings["raw copy to a new file"].push_back(
            seconds_of([&] { raw_copy_pattern(plain, spare); }));
        for (int step = 1; step <= 5; ++step) {
            state.skip_step = static_cast<std::int16_t>(step);
            auto& samples = timings["encrypt, step " + std::to_string(step)];
            // Twice: the second pass gives the plain file back.
            for (int pass = 0; pass < 2; ++pass) {
                samples.push_back(seconds_of([&] { encrypt(plain); }));
            }
        }
        state.skip_step = 1;
        encrypt(plain);
        fs::rename(plain, encrypted);
        fs::remove(spare);
        decrypt("decrypt, step 1");
        fs::rename(encrypted, spare);
    }
    const std::vector<fs::path> small =
        create_small_files(settings.folder / "ferrocase-bench-small", settings.small_files);
    const std::uint64_t small_original = folder_hash(small);
    std::vector<double> raw_small;
    std::vector<double> encrypt_small;
    for (int round = 0; round < settings.rounds; ++round) {
        raw_small.push_back(seconds_of([&] { raw_small_file_pattern(small); }));
        // Twice: the second pass gives the plain files back.
        for (int pass = 0; pass < 2; ++pass) {
            encrypt_small.push_back(seconds_of([&] { encrypt_all(small); }));
        }
    }
    if (folder_hash(small) != small_original) {
        fail("the small files did not come back from their round trips");
    }
    std::printf("every encryption and decryption verified by its round trip\n\n");

    const double raw = median(timings["raw 10000-byte pattern"]);
    const double raw_copy = median(timings["raw copy to a new file"]);
    const double megabytes = static_cast<double>(settings.size) / 1e6;
    std::printf(
        "each line ends with its data on disk (fdatasync, or syncfs for the small files)\n");
    std::printf("%-26s %8s %9s %10s\n", "operation (median)", "MB/s", "time/raw", "time/copy");
    for (const auto& [name, samples] : timings) {
        const double time = median(samples);
        std::printf("%-26s %8.0f %9.2f %10.2f\n", name.c_str(), megabytes / time, time / raw,
                    time / raw_copy);
    }
    std::printf("%-26s %8.2f of dd\n", "encrypt, step 1",
                median(timings["encrypt, step 1"]) / median(timings["dd bs=4M notrunc,fdatasync"]));
    const double raw_small_time = median(raw_small);
    const double small_time = median(encrypt_small);
    std::printf("\n%d files of 0 to 8 KB in one run (median)\n", settings.small_files);
    std::printf("%-26s %8.3f s\n", "raw pattern, one syncfs", raw_small_time);
    std::printf("%-26s %8.3f s  %.2f of raw\n", "encrypt, step 1", small_time,
                small_time / raw_small_time);

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("\npeak memory: this benchmark %ld KiB", usage.ru_maxrss);
    if (fs::exists(settings.cli) && fs::exists("/usr/bin/time")) {
        std::printf(", ferrocase-cli %ld KiB",
                    cli_peak_kib(settings.cli, {plain}, settings.folder));
        // Files that each fit in one window wait in memory for the record's flush.
        std::vector<fs::path> mid_sized;
        for (int index = 0; index < 40; ++index) {
            mid_sized.push_back(settings.folder / ("ferrocase-bench-3mb-" + std::to_string(index)));
            create_random_file(mid_sized.back(), 3'000'000);
        }
        std::printf(", and %ld KiB for 40 files of 3 MB",
                    cli_peak_kib(settings.cli, mid_sized, settings.folder));
        for (const fs::path& file : mid_sized) {
            fs::remove(file);
        }
    }
    std::printf("\n");
    fs::remove(plain);
    fs::remove(spare);
    fs::remove_all(settings.folder / "ferrocase-bench-small");
    fs::remove_all(journal);
    return 0;
}
