#include "durable_run/durable_run.h"
#include "strong/strong_file.h"
#include "tests/support/crash_file_system.h"
#include "tests/support/stored_format.h"

#include <QTest>
#include <cstring>
#include <random>
#include <set>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

namespace {

const std::string password = "pw\xE9";
constexpr int step = 2;
const fs::path journal_folder = "/state";

struct Job {
    fs::path source;
    std::optional<fs::path> destination; // set for a decryption, and for a strong encryption
    Bytes plain;
    bool strong = false;
};

// Cheap to derive, so that every stop point can afford it.
const StrongHeader strong_header = new_header({.iterations = 1, .memory_kib = 8}, 4096);

bool strong_encryption(const Job& job) {
    return job.strong && job.source.extension() != ".fxs";
}

FileResult run_strong(CrashFileSystem& disk, const Job& job, std::unique_ptr<NewFile>& unnamed) {
    EngineState state;
    const StrongOptions options{.unnamed = &unnamed};
    return strong_encryption(job)
               ? encrypt_strong_file(
                     state, disk, job.source, *job.destination, password, strong_header, [] {},
                     options)
               : decrypt_strong_file(
                     state, disk, job.source, *job.destination, password, [] {}, options);
}

Bytes strong_cipher(const Bytes& plain) {
    CrashFileSystem disk;
    disk.put("/plain", plain);
    EngineState state;
    encrypt_strong_file(state, disk, "/plain", "/plain.fxs", password, strong_header, [] {});
    return disk.get("/plain.fxs").value_or(Bytes{});
}

// What a strong file holds, or nothing when it does not decrypt.
std::optional<Bytes> strong_plain(CrashFileSystem& disk, const fs::path& file) {
    EngineState state;
    if (!decrypt_strong_file(state, disk, file, "/check", password, [] {}).ok()) {
        return std::nullopt;
    }
    auto plain = disk.get("/check");
    disk.remove("/check");
    return plain;
}

DurableRun::Limits small_limits() {
    return {.window_bytes = 320000,
            .windows_per_record = 2,
            .pending_files = 3,
            .pending_bytes = 1 << 20,
            .pending_time = std::chrono::hours(1)};
}

struct Stopped {
    std::set<fs::path> done; // the sources reported done before the program stopped
    bool took_every_file = false;
};

Stopped run(CrashFileSystem& disk, const std::vector<Job>& jobs) {
    Stopped stopped;
    std::set<fs::path>& done = stopped.done;
    EngineState state;
    state.password = password;
    state.skip_step = step;
    DurableRun run(disk, journal_folder, small_limits());
    std::vector<fs::path> sources;
    for (const Job& job : jobs) {
        sources.push_back(job.source);
    }
    const auto tell = [&] {
        for (const auto& outcome : run.take_outcomes()) {
            if (outcome.result.ok()) {
                done.insert(jobs[static_cast<std::size_t>(outcome.tag)].source);
            }
        }
    };
    try {
        run.plan(sources, 0);
        for (std::size_t index = 0; index < jobs.size(); ++index) {
            const Job& job = jobs[index];
            if (job.strong) {
                run.write_new_file(job.source, *job.destination, static_cast<int>(index),
                                   [&](std::unique_ptr<NewFile>& unnamed) {
                                       return run_strong(disk, job, unnamed);
                                   });
            } else if (job.destination) {
                run.decrypt(state, job.source, *job.destination, static_cast<int>(index), [] {});
            } else {
                run.encrypt(state, job.source, static_cast<int>(index), [] {});
            }
            tell();
        }
        run.flush();
        tell();
        stopped.took_every_file = true;
        run.complete();
    } catch (const CrashFileSystem::Stopped&) {
    }
    return stopped;
}

std::vector<Job> scenario(const QString& name) {
    const auto job = [](const char* path, std::size_t length, bool decrypt) {
        Job made{path, std::nullopt, random_bytes(length, static_cast<std::uint32_t>(length))};
        if (decrypt) {
            made.destination = std::string(path).substr(0, std::strlen(path) - 4);
        }
        return made;
    };
    if (name == "encryption of three windows") {
        return {job("/data/big", 700001, false)};
    }
    if (name == "decryption of three windows") {
        return {job("/data/big.fxe", 700001, true)};
    }
    if (name == "strong encryption and decryption") {
        // Several batches, which two threads share.
        Job encryption = job("/data/s", 140000, false);
        encryption.destination = "/data/s.fxs";
        Job decryption = job("/data/t.fxs", 9000, true);
        Job small = job("/data/u", 300, false);
        small.destination = "/data/u.fxs";
        encryption.strong = decryption.strong = small.strong = true;
        return {encryption, decryption, small};
    }
    return {job("/data/a", 0, false),      job("/data/b", 1, false),
            job("/data/c", 511, false),    job("/data/d", 10001, false),
            job("/data/e.fxe", 700, true), job("/data/f", 9000, false)};
}

// What each job's source holds before the run.
Bytes source_bytes(const Job& job) {
    if (job.strong) {
        return strong_encryption(job) ? job.plain : strong_cipher(job.plain);
    }
    return job.destination ? protect(job.plain, password, step) : job.plain;
}

void put_jobs(CrashFileSystem& disk, const std::vector<Job>& jobs) {
    for (const Job& job : jobs) {
        disk.put(job.source, source_bytes(job));
    }
}

} // namespace

class CrashRecoveryTest : public QObject {
    Q_OBJECT

private slots:
    // Stops the program at every write, sync, creation, rename and removal, cuts the power, and
    // runs the same files again (or, once the run had taken them all, those not reported done).
    // Whatever survived, each file ends encrypted exactly once (or decrypted, with its source
    // intact), and nothing else is left beside the data.
    void everyCrashPointRecovers_data() {
        QTest::addColumn<QString>("jobs");
        QTest::addColumn<int>("survival");
        const char* modes[] = {"the process is killed: every write survives",
                               "power cut: no unsynced write survives",
                               "power cut: a random half survives"};
        for (const char* jobs : {"encryption of three windows", "decryption of three windows",
                                 "a batch of small files", "strong encryption and decryption"}) {
            for (int mode = 0; mode < 3; ++mode) {
                QTest::addRow("%s; %s", jobs, modes[mode]) << QString(jobs) << mode;
            }
        }
    }

    void everyCrashPointRecovers() {
        QFETCH(QString, jobs);
        QFETCH(int, survival);
        const std::vector<Job> all = scenario(jobs);
        CrashFileSystem whole;
        put_jobs(whole, all);
        QCOMPARE(run(whole, all).done.size(), all.size());
        const int operations = whole.operations();
        QVERIFY(operations > 5);

        std::mt19937 random(static_cast<unsigned>(survival));
        const CrashFileSystem::Survival survives = [&] {
            return survival == 0 || (survival == 2 && random() % 2 == 0);
        };
        for (int stop = 1; stop <= operations; ++stop) {
            CrashFileSystem disk;
            put_jobs(disk, all);
            disk.stop_at(stop);
            const auto [done, took_every_file] = run(disk, all);
            disk.power_cut(survives);

            std::vector<Job> rest;
            std::copy_if(all.begin(), all.end(), std::back_inserter(rest), [&](const Job& job) {
                return !took_every_file || !done.contains(job.source);
            });
            QCOMPARE(run(disk, rest).done.size(), rest.size());

            std::vector<fs::path> expected_names;
            for (const Job& job : all) {
                const QString where = QString("stop %1: %2").arg(stop).arg(job.source.c_str());
                if (strong_encryption(job)) {
                    QVERIFY2(strong_plain(disk, *job.destination) == job.plain, qPrintable(where));
                    QVERIFY(disk.get(job.source) == job.plain);
                } else {
                    const Bytes expected =
                        job.destination ? job.plain : protect(job.plain, password, step);
                    QVERIFY2(disk.get(job.destination.value_or(job.source)) == expected,
                             qPrintable(where));
                    QVERIFY2(disk.get(job.source) == source_bytes(job) || !job.destination,
                             qPrintable(where));
                }
                if (job.destination) {
                    expected_names.push_back(*job.destination);
                }
                expected_names.push_back(job.source);
            }
            // Only a file the first run told of may still have a record, by the time it takes
            // to be marked; the rerun's marks must all be found again.
            RecoveryJournal records(disk, journal_folder);
            records.load_unfinished();
            for (const auto& unfinished : records.unfinished()) {
                QVERIFY2(done.contains(unfinished.path), unfinished.path.c_str());
            }
            std::sort(expected_names.begin(), expected_names.end());
            // A record may outlive a file the user was told is done, by the time it takes to be
            // marked; no other file may.
            std::vector<fs::path> data_names = disk.names();
            std::erase_if(data_names, [](const fs::path& name) {
                return name.parent_path() == journal_folder;
            });
            QCOMPARE(data_names, expected_names);
        }
    }
};

QTEST_APPLESS_MAIN(CrashRecoveryTest)
#include "tst_crash_recovery.moc"
