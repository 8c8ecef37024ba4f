#pragma once

#include "ui/message_box.h"

#include <QList>
#include <QString>
#include <functional>

namespace ferrocase::testing {

struct RecordedMessage {
    QString text;
    MessageIcon icon;
};

// Records every message and question instead of showing it, for as long as it lives. on_message
// runs inside the message, where the modal box would be waiting for the user.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QList<RecordedMessage> messages;
    std::function<void(const QString& text)> on_message;
    QStringList questions; // asked, and answered with `answer`
    bool answer = true;

    // What the replace question answers; the question is recorded among the messages.
    ReplaceAnswer replace_answer = ReplaceAnswer::cancel;

    QStringList texts() const;
};

} // namespace ferrocase::testing
