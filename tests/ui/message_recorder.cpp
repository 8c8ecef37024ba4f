#include "tests/ui/message_recorder.h"

namespace ferrocase::testing {

MessageRecorder::MessageRecorder() {
    set_message_presenter([this](QWidget*, const QString& text, MessageIcon icon) {
        messages.append({text, icon});
        if (on_message) {
            on_message(text);
        }
    });
    set_question_presenter([this](QWidget*, const QString& text) {
        questions << text;
        return answer;
    });
    set_replace_question([this](QWidget*, const QString& text) {
        messages.append({text, MessageIcon::exclamation});
        return replace_answer;
    });
}

MessageRecorder::~MessageRecorder() {
    set_message_presenter({});
    set_question_presenter({});
    set_replace_question({});
}

QStringList MessageRecorder::texts() const {
    QStringList found;
    for (const auto& message : messages) {
        found << message.text;
    }
    return found;
}

} // namespace ferrocase::testing
