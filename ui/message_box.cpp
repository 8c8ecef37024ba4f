#include "ui/message_box.h"

#include <QMessageBox>
#include <utility>

namespace ferrocase {
namespace {

QMessageBox::Icon box_icon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::error:
        return QMessageBox::Critical;
    case MessageIcon::exclamation:
        return QMessageBox::Warning;
    case MessageIcon::information:
        break;
    }
    return QMessageBox::Information;
}

void show_modal_box(QWidget* parent, const QString& text, MessageIcon icon) {
    QMessageBox box(box_icon(icon), QStringLiteral("Ferrocase"), text, QMessageBox::Ok, parent);
    box.exec();
}

MessagePresenter& presenter() {
    static MessagePresenter current = show_modal_box;
    return current;
}

bool ask_with_modal_box(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Ferrocase"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

QuestionPresenter& question_presenter() {
    static QuestionPresenter current = ask_with_modal_box;
    return current;
}

} // namespace

void show_message(QWidget* parent, const QString& text, MessageIcon icon) {
    presenter()(parent, text, icon);
}

void set_message_presenter(MessagePresenter replacement) {
    presenter() = replacement ? std::move(replacement) : MessagePresenter(show_modal_box);
}

bool ask_question(QWidget* parent, const QString& text) {
    return question_presenter()(parent, text);
}

void set_question_presenter(QuestionPresenter replacement) {
    question_presenter() =
        replacement ? std::move(replacement) : QuestionPresenter(ask_with_modal_box);
}

} // namespace ferrocase
