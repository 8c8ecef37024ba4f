#include "ui/message_box.h"

#include <QMessageBox>
#include <QPushButton>
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

// A list longer than this shows its first lines and a count of the rest, so that the box and its
// OK button stay on the screen; the whole list is in the box's details.
constexpr qsizetype shown_list_lines = 20;

void show_modal_box(QWidget* parent, const QString& text, MessageIcon icon) {
    QMessageBox box(box_icon(icon), QStringLiteral("Ferrocase"), text, QMessageBox::Ok, parent);
    // The first line is the heading of the list that follows it.
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1 + shown_list_lines + 1) {
        const qsizetype more = lines.size() - 1 - shown_list_lines;
        box.setText(lines.first(1 + shown_list_lines).join(QLatin1Char('\n')) +
                    QStringLiteral("\nand %1 more").arg(more));
        box.setDetailedText(text);
    }
    box.exec();
}

ReplaceAnswer ask_in_modal_box(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Ferrocase"), text, QMessageBox::NoButton,
                    parent);
    const QAbstractButton* replace =
        box.addButton(QObject::tr("&Replace"), QMessageBox::AcceptRole);
    const QAbstractButton* skip = box.addButton(QObject::tr("&Skip"), QMessageBox::RejectRole);
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    box.exec();
    if (box.clickedButton() == replace) {
        return ReplaceAnswer::replace;
    }
    return box.clickedButton() == skip ? ReplaceAnswer::skip : ReplaceAnswer::cancel;
}

ReplaceQuestion& question() {
    static ReplaceQuestion current = ask_in_modal_box;
    return current;
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

ReplaceAnswer ask_to_replace(QWidget* parent, const QString& text) {
    return question()(parent, text);
}

void set_replace_question(ReplaceQuestion replacement) {
    question() = replacement ? std::move(replacement) : ReplaceQuestion(ask_in_modal_box);
}

} // namespace ferrocase
