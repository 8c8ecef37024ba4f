// Measures strong (.fxs) encryption and decryption against age (with a recipient key) and
// `openssl enc -aes-256-ctr` on the same file, with the password hash timed on its own. The
// bulk of a strong run is its time minus that of an empty file, which leaves the hash out.
//
//   ferrocase_strong_bench [--size BYTES] [--dir FOLDER] [--rounds N]

#include "bench/bench_support.h"
#include "strong/header_check.h"
#include "strong/key_derivation.h"
#include "strong/strong_file.h"
#include "ui/frame_yield.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace ferrocase;
using namespace ferrocase::bench;

namespace {

using Clock = std::chrono::steady_clock;
const std::string password = "bench password";
constexpr KdfParameters cheap_kdf{.iterations = 1, .memory_kib = 8};

bool same_content(const fs::path& one, const fs::path& other) {
    std::ifstream a(one, std::ios::binary);
    std::ifstream b(other, std::ios::binary);
    std::vector<char> left(1 << 20), right(1 << 20);
    while (a && b) {
        a.read(left.data(), std::streamsize(left.size()));
        b.read(right.data(), std::streamsize(right.size()));
        if (a.gcount() != b.gcount() ||
            !std::equal(left.begin(), left.begin() + a.gcount(), right.begin())) {
            return false;
        }
    }
    return a.eof() && b.eof();
}

double cpu_seconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        ::getrusage(who, &usage);
        for (const timeval& time : {usage.ru_utime, usage.ru_stime}) {
            total += static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
        }
    }
    return total;
}

// Wall-clock and processor seconds of each kind of work. On a machine shared with other work
// the processor time (all threads and child processes) shows the cost that wall-clock time
// hides or inflates.
struct Timings {
    std::map<std::string, std::vector<double>> wall;
    std::map<std::string, std::vector<double>> cpu;

    void measure(const std::string& name, const std::function<void()>& work) {
        const double cpu_start = cpu_seconds();
        const auto start = Clock::now();
        work();
        wall[name].push_back(std::chrono::duration<double>(Clock::now() - start).count());
        cpu[name].push_back(cpu_seconds() - cpu_start);
    }
};

// Runs a program with its output thrown away; its peak memory in KiB.
long run(const std::vector<std::string>& arguments) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        std::freopen("/dev/null", "w", stdout);
        ::execvp(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fail(arguments[0] + " failed");
    }
    return usage.ru_maxrss;
}

// With --probe SOURCE DESTINATION the program only encrypts SOURCE with the cheapest password
// hash and exits: run as a fresh process, its peak memory is that of the stream.
int probe(const fs::path& source, const fs::path& destination) {
    EngineState state;
    const auto result = encrypt_strong_file(state, local_file_system(), source, destination,
                                            password, new_header(cheap_kdf), [] {});
    return result.ok() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--probe") {
        return probe(argv[2], argv[3]);
    }
    if (argc == 2 && std::string(argv[1]) == "--idle") {
        return 0;
    }
    QCoreApplication application(argc, argv);
    BenchOptions settings{.folder = "/dev/shm"};
    parse_options(argc, argv, settings);
    const fs::path plain = settings.folder / "strong-bench.bin";
    const fs::path empty = settings.folder / "strong-bench.empty";
    const fs::path output = settings.folder / "strong-bench.out";
    const fs::path back = settings.folder / "strong-bench.back";
    const fs::path identity = settings.folder / "strong-bench.age-key";
    create_random_file(plain, settings.size);
    create_random_file(empty, 0);
    fs::remove(identity);
    run({"age-keygen", "-o", identity.string()});
    std::string recipient;
    for (std::ifstream key(identity); std::getline(key, recipient);) {
        if (recipient.rfind("# public key: ", 0) == 0) {
            recipient = recipient.substr(14);
            break;
        }
    }

    std::printf("file: %s, %lld bytes; %d rounds, medians\n", plain.c_str(),
                static_cast<long long>(settings.size), settings.rounds);
    const StrongHeader sample = new_header();
    std::printf("strong: %s, Argon2id t=%u m=%u KiB, %u-byte chunks\n",
                sample.aead == Aead::aes_256_gcm ? "AES-256-GCM" : "ChaCha20-Poly1305",
                sample.kdf.iterations, sample.kdf.memory_kib, sample.chunk_size);

    EngineState state;
    const Yield yield = FrameYield();
    Timings timings;
    const auto strong = [&](const std::string& name, const fs::path& source, bool encrypting,
                            KdfParameters kdf = default_kdf) {
        // Replacing an earlier output would time the freeing of its memory as well.
        fs::remove(encrypting ? output : back);
        timings.measure(name, [&] {
            const auto result = encrypting
                                    ? encrypt_strong_file(state, local_file_system(), source,
                                                          output, password, new_header(kdf), yield)
                                    : decrypt_strong_file(state, local_file_system(), source, back,
                                                          password, yield);
            if (!result.ok()) {
                fail(result.describe());
            }
        });
    };
    for (int round = 0; round < settings.rounds; ++round) {
        timings.measure("password hash alone", [&] {
            Key key{};
            if (derive_key(password, sample.salt, sample.kdf, key)) {
                fail("the password hash failed");
            }
        });
        // Version 2's keys and header check; its seconds per 1000 files are milliseconds per file.
        timings.measure("header check, 1000 files", [&] {
            const Key hash{};
            const HeaderBytes header = encode_header(sample);
            for (int file = 0; file < 1000; ++file) {
                const FileKeys keys(hash);
                // Using the result keeps the work from being optimised away.
                if (same_check(header_check(keys, header), header)) {
                    fail("a header check matched the header itself");
                }
            }
        });
        strong("strong encrypt, empty file", empty, true);
        strong("strong decrypt, empty file", output, false);
        strong("strong encrypt", plain, true);
        strong("strong decrypt", output, false);
        if (!same_content(plain, back)) {
            fail("strong decryption did not give the file back");
        }
        fs::remove(back);
        // The same with the cheapest hash: the difference to an empty file is then nearly all
        // bulk, without the hash's own spread on a busy machine.
        strong("cheap hash: encrypt, empty file", empty, true, cheap_kdf);
        strong("cheap hash: decrypt, empty file", output, false, cheap_kdf);
        strong("cheap hash: encrypt", plain, true, cheap_kdf);
        strong("cheap hash: decrypt", output, false, cheap_kdf);
        fs::remove(back);
        fs::remove(output);
        timings.measure("age encrypt", [&] {
            run({"age", "-r", recipient, "-o", output.string(), plain.string()});
        });
        timings.measure("age decrypt", [&] {
            run({"age", "-d", "-i", identity.string(), "-o", back.string(), output.string()});
        });
        if (!same_content(plain, back)) {
            fail("age did not give the file back");
        }
        fs::remove(output);
        fs::remove(back);
        const std::string pass = "pass:" + password;
        timings.measure("openssl enc -aes-256-ctr", [&] {
            run({"openssl", "enc", "-aes-256-ctr", "-pbkdf2", "-pass", pass, "-in", plain.string(),
                 "-out", output.string()});
        });
        timings.measure("openssl enc -d -aes-256-ctr", [&] {
            run({"openssl", "enc", "-d", "-aes-256-ctr", "-pbkdf2", "-pass", pass, "-in",
                 output.string(), "-out", back.string()});
        });
        if (!same_content(plain, back)) {
            fail("openssl did not give the file back");
        }
        fs::remove(output);
        fs::remove(back);
    }

    std::printf("\n%-32s %8s %8s %8s\n", "operation (median)", "seconds", "MB/s", "CPU s");
    for (const auto& [name, samples] : timings.wall) {
        std::printf("%-32s %8.3f %8.0f %8.3f\n", name.c_str(), median(samples),
                    static_cast<double>(settings.size) / 1e6 / median(samples),
                    median(timings.cpu[name]));
    }
    // The bulk of a strong run: its time less that of an empty file, which leaves the password
    // hash out.
    std::printf("\n%-36s %8s %7s %8s\n", "strong bulk, wall clock (CPU)", "seconds", "/ age",
                "/ openssl");
    for (const auto* kind : {"strong", "cheap hash:"}) {
        for (const bool encrypting : {true, false}) {
            const std::string operation =
                std::string(kind) + (encrypting ? " encrypt" : " decrypt");
            const char* age = encrypting ? "age encrypt" : "age decrypt";
            const char* openssl =
                encrypting ? "openssl enc -aes-256-ctr" : "openssl enc -d -aes-256-ctr";
            for (auto* measured : {&timings.wall, &timings.cpu}) {
                auto& samples = *measured;
                const double bulk =
                    median(samples[operation]) - median(samples[operation + ", empty file"]);
                std::printf("%-36s %8.3f %7.2f %8.2f\n",
                            (operation + (measured == &timings.cpu ? " (CPU)" : "")).c_str(), bulk,
                            bulk / median(samples[age]), bulk / median(samples[openssl]));
            }
        }
    }
    std::printf("goal: at most 0.50 of age and 0.30 of openssl enc\n");

    const fs::path self = fs::read_symlink("/proc/self/exe");
    const long stream_peak = run({self.string(), "--probe", plain.string(), output.string()});
    const long idle_peak = run({self.string(), "--idle"});
    std::printf("\npeak memory of a strong encryption with the cheapest hash: %ld KiB, %ld KiB "
                "more than this program starting and ending at once\n",
                stream_peak, stream_peak - idle_peak);
    for (const auto& path : {plain, empty, output, back, identity}) {
        fs::remove(path);
    }
    return 0;
}
