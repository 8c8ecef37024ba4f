#pragma once

#include <QObject>

class QSocketNotifier;

namespace ferrocase {

// SIGINT, SIGTERM and SIGHUP, and the desktop session ending, as a request to quit, delivered
// through the event loop: a run in progress finishes the file in hand first, as for Quit.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

signals:
    void quitRequested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace ferrocase
