#pragma once

#include "batch/batch_window.h"

#include <QString>
#include <functional>

class QWidget;

namespace ferrocase {

// Every message of the program goes through here: a modal box titled "Ferrocase" with one OK
// button, returning once the user has dismissed it.
void show_message(QWidget* parent, const QString& text, MessageIcon icon);

using MessagePresenter =
    std::function<void(QWidget* parent, const QString& text, MessageIcon icon)>;

// Puts another way of showing messages in place (tests record them instead of blocking); an empty
// presenter brings the modal box back.
void set_message_presenter(MessagePresenter presenter);

// A question titled "Ferrocase" with Yes and No buttons; true for Yes.
bool ask_question(QWidget* parent, const QString& text);

using QuestionPresenter = std::function<bool(QWidget* parent, const QString& text)>;

// As set_message_presenter, for questions.
void set_question_presenter(QuestionPresenter presenter);

// A modal question whether strong files may replace existing files: "Replace", "Skip" and
// "Cancel" (the default, and what closing the box answers).
ReplaceAnswer ask_to_replace(QWidget* parent, const QString& text);

using ReplaceQuestion = std::function<ReplaceAnswer(QWidget* parent, const QString& text)>;

// As set_message_presenter, for the question.
void set_replace_question(ReplaceQuestion question);

} // namespace ferrocase
