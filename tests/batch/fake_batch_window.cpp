#include "tests/batch/fake_batch_window.h"

#include "batch/queued_file.h"

namespace ferrocase::testing {

void FakeBatchWindow::set_Timer1_enabled(bool enabled) {
    log << (enabled ? QStringLiteral("timer on") : QStringLiteral("timer off"));
}

void FakeBatchWindow::set_ProgressBar1(float percent) {
    log << QStringLiteral("bar1 %1").arg(percent);
}

void FakeBatchWindow::set_ProgressBar2(float percent) {
    log << QStringLiteral("bar2 %1").arg(percent);
}

void FakeBatchWindow::set_title(const std::string& title) {
    log << QStringLiteral("title ") + QString::fromStdString(title);
}

void FakeBatchWindow::enable_window() {
    log << QStringLiteral("enable window");
}

void FakeBatchWindow::set_busy_pointer(bool busy) {
    log << (busy ? QStringLiteral("pointer busy") : QStringLiteral("pointer default"));
}

void FakeBatchWindow::show_message(const std::string& text, MessageIcon icon) {
    log << QStringLiteral("message %1 ").arg(static_cast<int>(icon)) + QString::fromStdString(text);
}

ReplaceAnswer FakeBatchWindow::ask_to_replace(const std::string& text) {
    log << QStringLiteral("ask ") + QString::fromStdString(text);
    return replace_answer;
}

bool FakeBatchWindow::ask_question(const std::string& text) {
    log << QStringLiteral("question ") + QString::fromStdString(text);
    return question_answer;
}

void FakeBatchWindow::yield() {
    log << QStringLiteral("yield");
}

Yield FakeBatchWindow::block_yield() {
    return [this] {
        if (on_block_yield) {
            on_block_yield();
        }
    };
}

void FakeBatchWindow::disable_form() {
    log << QStringLiteral("disable_form");
}

void FakeBatchWindow::enable_form() {
    log << QStringLiteral("enable_form");
}

std::error_code FakeBatchWindow::remove_original(const std::filesystem::path& path) {
    log << QStringLiteral("remove ") + QString::fromStdString(path.filename().string());
    removed.push_back(path);
    if (removal_error) {
        return removal_error;
    }
    return delete_original(path);
}

QStringList FakeBatchWindow::entries(const QString& prefix) const {
    QStringList found;
    for (const QString& entry : log) {
        if (entry.startsWith(prefix)) {
            found << entry;
        }
    }
    return found;
}

} // namespace ferrocase::testing
