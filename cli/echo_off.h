#pragma once

#include <array>
#include <csignal>
#include <termios.h>

namespace ferrocase::cli {

// Turns a terminal's echo off for as long as it lives. A signal that ends the program meanwhile
// (Ctrl-C, Ctrl-\, a hang-up, kill) turns the echo back on first, so the shell is not left blind.
// One at a time.
class EchoOff {
public:
    explicit EchoOff(int terminal);
    ~EchoOff();
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    static constexpr std::array<int, 4> ending_signals{SIGINT, SIGQUIT, SIGTERM, SIGHUP};

    int terminal_;
    bool changed_ = false;
    std::array<struct sigaction, ending_signals.size()> previous_{};
};

} // namespace ferrocase::cli
