#pragma once

#include <atomic>

namespace ferrocase::cli {

// SIGINT, SIGTERM and SIGHUP. The first asks the run to start no other file and to end once
// the current one is done; a second asks it to stop even that one at the next point its
// recovery record covers.
struct StopSignals {
    std::atomic<int> first{0}; // the signal's number, 0 while none came
    std::atomic<bool> stop_now{false};
};

// Installs the handlers; they write to the one instance returned.
StopSignals& catch_stop_signals();

} // namespace ferrocase::cli
