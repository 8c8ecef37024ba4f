#include "cli/echo_off.h"

#include <unistd.h>

namespace ferrocase::cli {
namespace {

// Read by the signal handler, so plain globals set before it is installed.
int quiet_terminal = -1;
termios echoing_settings{};

void restore_echo_then_end(int signal) {
    ::tcsetattr(quiet_terminal, TCSAFLUSH, &echoing_settings);
    [[maybe_unused]] const ssize_t written = ::write(quiet_terminal, "\n", 1);
    // The handler was reset to the default on entry: the signal, raised again, ends the program
    // as soon as this handler returns, with the status the shell expects.
    ::raise(signal);
}

} // namespace

EchoOff::EchoOff(int terminal) : terminal_(terminal) {
    if (::tcgetattr(terminal, &echoing_settings) != 0) {
        return;
    }
    quiet_terminal = terminal;
    struct sigaction action {};
    action.sa_handler = restore_echo_then_end;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : ending_signals) {
        sigaddset(&action.sa_mask, signal);
    }
    for (std::size_t index = 0; index < ending_signals.size(); ++index) {
        ::sigaction(ending_signals[index], nullptr, &previous_[index]);
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        if (previous_[index].sa_handler != SIG_IGN) {
            ::sigaction(ending_signals[index], &action, nullptr);
        }
    }
    termios quiet = echoing_settings;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    changed_ = ::tcsetattr(terminal, TCSAFLUSH, &quiet) == 0;
}

EchoOff::~EchoOff() {
    if (quiet_terminal != terminal_) {
        return;
    }
    if (changed_) {
        ::tcsetattr(terminal_, TCSAFLUSH, &echoing_settings);
    }
    for (std::size_t index = 0; index < ending_signals.size(); ++index) {
        ::sigaction(ending_signals[index], &previous_[index], nullptr);
    }
    quiet_terminal = -1;
}

} // namespace ferrocase::cli
