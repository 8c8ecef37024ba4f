#include "strong/background_hash.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <csignal>
#endif

namespace ferrocase {
namespace {

// Shared by the caller and the hash's thread, which may outlive the caller's wait.
struct HashJob {
    std::string password;
    std::vector<std::uint8_t> salt;
    KdfParameters parameters;
    Key key{};
    std::error_code error;
    bool done = false;
    std::mutex mutex;
    std::condition_variable finished;

    ~HashJob() {
        wipe(password);
        wipe(key);
    }
};

// Stop signals go to the threads that act on them, never to the hash's.
void refuse_signals() {
#ifndef _WIN32
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
#endif
}

} // namespace

std::error_code derive_key_in_background(std::string_view password,
                                         std::span<const std::uint8_t> salt,
                                         const KdfParameters& parameters, Key& key,
                                         const std::function<bool()>& keep_waiting) {
    auto job = std::make_shared<HashJob>();
    job->password.assign(password);
    job->salt.assign(salt.begin(), salt.end());
    job->parameters = parameters;
    try {
        std::thread([job] {
            refuse_signals();
            Key result{};
            const auto error = derive_key(job->password, job->salt, job->parameters, result);
            {
                const std::lock_guard lock(job->mutex);
                job->key = result;
                job->error = error;
                job->done = true;
            }
            wipe(result);
            job->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return derive_key(password, salt, parameters, key);
    }
    std::unique_lock lock(job->mutex);
    while (
        !job->finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return job->done; })) {
        lock.unlock();
        if (!keep_waiting()) {
            return std::make_error_code(std::errc::operation_canceled);
        }
        lock.lock();
    }
    key = job->key;
    return job->error;
}

} // namespace ferrocase
