// Measures `ferrocase-cli -r` over a tree of 10,000 small files (0 to 8 KB, in 100 folders)
// against the same files named one by one in one call: the walk should cost little.
//
//   ferrocase_folder_bench [--dir FOLDER] [--rounds N]

#include "bench/bench_support.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace ferrocase::bench;

namespace {

constexpr int folder_count = 100;
constexpr int files_per_folder = 100;

// The files' names relative to `root`'s parent, in the order the walk takes them.
std::vector<std::string> create_tree(const fs::path& root) {
    std::vector<std::string> names;
    for (int folder = 0; folder < folder_count; ++folder) {
        char folder_name[16];
        std::snprintf(folder_name, sizeof folder_name, "d%03d", folder);
        fs::create_directories(root / folder_name);
        for (int file = 0; file < files_per_folder; ++file) {
            char file_name[16];
            std::snprintf(file_name, sizeof file_name, "f%03d", file);
            const fs::path path = root / folder_name / file_name;
            create_random_file(path, (folder * files_per_folder + file) * 4099 % 8193);
            names.push_back((root.filename() / folder_name / file_name).string());
        }
    }
    return names;
}

struct Seconds {
    double wall = 0;
    double processor = 0; // user and system time of the child
};

// What ferrocase-cli took, run in `folder` with its output thrown away.
Seconds run_cli(const fs::path& folder, const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(FERROCASE_CLI_PATH)};
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0 || !std::freopen("/dev/null", "w", stdout)) {
            std::_Exit(127);
        }
        ::execv(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fail("ferrocase-cli failed");
    }
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

void print(const char* what, const std::vector<Seconds>& runs) {
    std::vector<double> wall;
    std::vector<double> processor;
    for (const Seconds& run : runs) {
        wall.push_back(run.wall);
        processor.push_back(run.processor);
    }
    std::printf("  %-14s %8.3f %10.3f\n", what, median(wall), median(processor));
}

} // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    options.folder = fs::temp_directory_path() / "ferrocase-folder-bench";
    options.rounds = 5;
    parse_options(argc, argv, options);
    fs::remove_all(options.folder);
    fs::create_directories(options.folder);
    std::ofstream(options.folder / "pw") << "bench password\n";
    std::vector<std::string> named = create_tree(options.folder / "tree");
    named.insert(named.begin(), {"--password-file", "pw"});
    const std::vector<std::string> recursive{"--password-file", "pw", "-r", "tree"};

    // Every run encrypts again what the last one left; taking turns at going first keeps the two
    // on equal terms with the page cache and the disk.
    std::vector<Seconds> walked;
    std::vector<Seconds> listed;
    for (int round = 0; round < options.rounds; ++round) {
        if (round % 2 == 0) {
            walked.push_back(run_cli(options.folder, recursive));
            listed.push_back(run_cli(options.folder, named));
        } else {
            listed.push_back(run_cli(options.folder, named));
            walked.push_back(run_cli(options.folder, recursive));
        }
    }
    std::printf("%d files, %d rounds, median seconds\n", folder_count * files_per_folder,
                options.rounds);
    std::printf("  %-14s %8s %10s\n", "", "wall", "processor");
    print("-r tree", walked);
    print("files named", listed);
    fs::remove_all(options.folder);
    return 0;
}
