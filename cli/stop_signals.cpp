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
    action.sa_flags = SA_RESTART;
    // One handler at a time: pending signals are then taken in the order they are delivered,
    // and the first is the one the exit status names.
    constexpr int stop_signals[] = {SIGINT, SIGTERM, SIGHUP};
    sigemptyset(&action.sa_mask);
    for (const int number : stop_signals) {
        sigaddset(&action.sa_mask, number);
    }
    for (const int number : stop_signals) {
        sigaction(number, &action, nullptr);
    }
    return signals;
}

} // namespace ferrocase::cli
