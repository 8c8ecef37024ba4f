// How long the window keeps a user waiting for its File menu, idle and during a run of strong
// encryptions at the default password-hash cost. Every 100 ms a click on the menu bar is queued
// as the windowing system queues one, and the time until the menu is painted is measured. Needs
// a display: on a machine without one, run it under xvfb-run.
//
//   ferrocase_window_latency_bench [--size BYTES] [--dir FOLDER] [--files N]

#include "batch/app_state.h"
#include "bench/bench_support.h"
#include "shell/file_type_registry.h"
#include "ui/mainscreen.h"
#include "ui/message_box.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace fs = std::filesystem;
using namespace ferrocase;
using namespace ferrocase::bench;

namespace {

// Clicks the menu bar's first menu on a timer and times each click until the menu is painted.
class MenuProbe : public QObject {
public:
    MenuProbe(QMenuBar& bar, QMenu& menu) : bar_(bar), menu_(menu) {
        menu_.installEventFilter(this);
        connect(&timer_, &QTimer::timeout, this, &MenuProbe::click);
        timer_.start(100);
    }

    std::vector<double> take_delays() { return std::exchange(delays_, {}); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &menu_ && event->type() == QEvent::Paint && waiting_) {
            waiting_ = false;
            delays_.push_back(static_cast<double>(since_click_.nsecsElapsed()) / 1e6);
            // Closed as a user closes it, so that the menu bar lets go of it too.
            QCoreApplication::postEvent(
                &menu_, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        }
        return false;
    }

private:
    void click() {
        if (waiting_ || menu_.isVisible()) {
            return;
        }
        const QPoint at = bar_.actionGeometry(bar_.actions().first()).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons held =
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
            QCoreApplication::postEvent(&bar_,
                                        new QMouseEvent(type, at, bar_.mapToGlobal(at),
                                                        Qt::LeftButton, held, Qt::NoModifier));
        }
        waiting_ = true;
        since_click_.start();
    }

    QMenuBar& bar_;
    QMenu& menu_;
    QTimer timer_;
    QElapsedTimer since_click_;
    bool waiting_ = false;
    std::vector<double> delays_;
};

void wait(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void print(const char* what, std::vector<double> delays) {
    if (delays.empty()) {
        fail(std::string("the menu never opened ") + what);
    }
    const double longest = *std::max_element(delays.begin(), delays.end());
    std::printf("%-34s %4zu clicks  median %6.1f ms  longest %6.1f ms\n", what, delays.size(),
                median(delays), longest);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    BenchOptions options;
    options.size = std::int64_t{1} << 20;
    int files = 40;
    parse_options(argc, argv, options, [&](const std::string& name, const std::string& value) {
        if (name != "--files") {
            return false;
        }
        files = std::max(1, std::stoi(value));
        return true;
    });
    QTemporaryDir scratch(
        options.folder.empty()
            ? QDir::tempPath() + "/ferrocase-latency-XXXXXX"
            : QString::fromStdString((options.folder / "latency-XXXXXX").string()));
    if (!scratch.isValid()) {
        fail("cannot create a folder for the files");
    }
    const fs::path folder = scratch.path().toStdString();
    // The bench's own settings and recovery record, never the user's.
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((folder / "config").string()));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString((folder / "state").string()));
    set_message_presenter([](QWidget*, const QString&, MessageIcon) {});
    set_question_presenter([](QWidget*, const QString&) { return false; });

    AppState state;
    InMemoryFileTypeRegistry registry;
    Mainscreen window(state, registry, std::string());
    window.show();
    wait(500);
    auto* strong = window.findChild<QAction*>(QStringLiteral("strong"));
    auto* menu = window.findChild<QMenu*>(QStringLiteral("file"));
    if (!strong || !menu) {
        fail("the window has no File menu or no strong option");
    }
    for (int index = 0; index < files; ++index) {
        const fs::path file = folder / ("file" + std::to_string(index));
        create_random_file(file, options.size);
        state.file_queue.row(++state.file_count).source = file;
    }
    MenuProbe probe(*window.menuBar(), *menu);
    wait(3000);
    print("idle", probe.take_delays());

    if (!strong->isChecked()) {
        strong->trigger();
    }
    for (const char* box : {"Text1", "Text2"}) {
        window.findChild<QLineEdit*>(QString::fromLatin1(box))->setText("bench password");
    }
    QElapsedTimer run_time;
    run_time.start();
    // Returns once the run is over; the probe's clicks are handled while it runs.
    window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    const double seconds = static_cast<double>(run_time.elapsed()) / 1e3;
    for (int index = 0; index < files; ++index) {
        if (!fs::exists(folder / ("file" + std::to_string(index) + ".fxs"))) {
            fail("the run did not encrypt file" + std::to_string(index));
        }
    }
    char what[64];
    std::snprintf(what, sizeof what, "run of %d strong files (%.1f s)", files, seconds);
    print(what, probe.take_delays());
    return 0;
}
