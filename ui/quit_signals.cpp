#include "ui/quit_signals.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ferrocase {
namespace {

constexpr int stop_signals[] = {SIGINT, SIGTERM, SIGHUP};

// A handler may do little more than write to a descriptor; the event loop reads the other end.
int signal_pair[2] = {-1, -1};

extern "C" void on_quit_signal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signal_pair[0], &byte, 1);
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signal_pair) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(signal_pair[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(signal_pair[1], bytes, sizeof bytes) > 0) {
        }
        emit quitRequested();
    });
    struct sigaction action {};
    action.sa_handler = on_quit_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : stop_signals) {
        sigaction(number, &action, nullptr);
    }
    if (qGuiApp) {
        connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &QuitSignals::quitRequested);
    }
}

QuitSignals::~QuitSignals() {
    if (!notifier_) {
        return;
    }
    for (const int number : stop_signals) {
        std::signal(number, SIG_DFL);
    }
    ::close(signal_pair[0]);
    ::close(signal_pair[1]);
    signal_pair[0] = signal_pair[1] = -1;
}

} // namespace ferrocase
