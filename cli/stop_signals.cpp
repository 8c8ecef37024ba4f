#include "cli/stop_signals.h"

#include <csignal>

namespace ferrocase::cli {
namespace {

StopSignals signals;

extern "C" void on_stop_signal(int number) {
    int none = 0;
    if (!signals.first.compare_exchange_strong(none, number)) {
        signals.stop_now = true;
    }
}

} // namespace

StopSignals& catch_stop_signals() {
    static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
                  "signal handlers may only touch lock-free atomics");
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(number, &action, nullptr);
    }
    return signals;
}

} // namespace ferrocase::cli
