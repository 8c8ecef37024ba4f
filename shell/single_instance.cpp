#include "shell/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <memory>

namespace ferrocase {

namespace {

constexpr int connect_timeout_ms = 2000;
constexpr int confirm_timeout_ms = 10000;
constexpr int lock_timeout_ms = 10000;
constexpr char confirmation = '\x06';

// The message: every document's path followed by a zero byte, then one more zero byte. A path
// is never empty and never holds a zero byte, so two zero bytes end the message.
QByteArray message_of(const std::vector<std::filesystem::path>& documents) {
    QByteArray message;
    for (const std::filesystem::path& document : documents) {
        message += QByteArray::fromStdString(document.native());
        message += '\0';
    }
    message += '\0';
    return message;
}

bool is_complete(const QByteArray& message) {
    return message == QByteArray(1, '\0') || message.endsWith(QByteArray(2, '\0'));
}

std::vector<std::filesystem::path> documents_of(const QByteArray& message) {
    std::vector<std::filesystem::path> documents;
    for (const QByteArray& entry : message.split('\0')) {
        if (!entry.isEmpty()) {
            documents.emplace_back(entry.toStdString());
        }
    }
    return documents;
}

QString session_of_display() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
    }
    QString session;
    for (const QChar c : display) {
        session += c.isLetterOrNumber() || c == '.' || c == '-' ? c : QChar('_');
    }
    return session;
}

QString lock_path(const QString& name) {
    return QDir::isAbsolutePath(name) ? name + ".lock"
                                      : QDir(QDir::tempPath()).filePath(name + ".lock");
}

} // namespace

// The user's runtime folder is private to the user; the display tells the sessions apart.
// Without one, the name goes to the shared temporary folder and carries the user's name.
QString instance_name() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) {
        return "ferrocase-" + qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME")) + '-' +
               session_of_display();
    }
    return QDir(runtime).filePath("ferrocase-" + session_of_display() + ".socket");
}

SingleInstance::SingleInstance(const QString& name) : name_(name), lock_(lock_path(name)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, &server_,
                     [this] { take_connection(); });
}

bool SingleInstance::hand_over(const std::vector<std::filesystem::path>& documents) {
    // Starts that come together (several files opened at once) take turns, so that one of them
    // listens and the others find it.
    lock_.tryLock(lock_timeout_ms);
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(connect_timeout_ms)) {
        return false;
    }
    answered_ = true;
    socket.write(message_of(documents));
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(confirm_timeout_ms)) {
            return false;
        }
    }
    const bool taken = socket.read(1) == QByteArray(1, confirmation);
    socket.disconnectFromServer();
    if (taken) {
        lock_.unlock();
    }
    return taken;
}

bool SingleInstance::listen(Receiver receiver) {
    receiver_ = std::move(receiver);
    // A program that took the connection but did not confirm may be ending; its name stays its
    // own, and this one runs without a name.
    if (answered_) {
        lock_.unlock();
        return false;
    }
    // What is left of a program that ended without cleaning up answers no one.
    QLocalServer::removeServer(name_);
    const bool listening = server_.listen(name_);
    lock_.unlock();
    return listening;
}

void SingleInstance::take_connection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto message = std::make_shared<QByteArray>();
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, message] {
            *message += socket->readAll();
            if (!is_complete(*message)) {
                return;
            }
            socket->write(QByteArray(1, confirmation));
            socket->flush();
            // The window may show a message about them: not from inside the socket's handler.
            QTimer::singleShot(0, &server_, [this, documents = documents_of(*message)] {
                if (receiver_) {
                    receiver_(documents);
                }
            });
        });
    }
}

} // namespace ferrocase
