#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QString>
#include <filesystem>
#include <functional>
#include <vector>

namespace ferrocase {

// The name under which the running program waits for later starts: one per user and desktop
// session, so that two sessions (or two test displays) each have their own window.
QString instance_name();

// Keeps the program to one window per session. A start first offers its documents to the program
// already running; only when none answers does it become that program and listen for later starts.
class SingleInstance {
public:
    using Receiver = std::function<void(std::vector<std::filesystem::path> documents)>;

    explicit SingleInstance(const QString& name);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Sends the documents (none: only "come to the front") to the running program; true once it
    // has confirmed that it took them.
    bool hand_over(const std::vector<std::filesystem::path>& documents);

    // Becomes the running program: what later starts hand over reaches `receiver`. False when the
    // name cannot be taken; the program then runs on its own.
    bool listen(Receiver receiver);

private:
    void take_connection();

    QString name_;
    QLockFile lock_; // held from the first look for a running program until listening
    QLocalServer server_;
    Receiver receiver_;
    bool answered_ = false; // a running program took the connection
};

} // namespace ferrocase
