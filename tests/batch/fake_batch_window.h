#pragma once

#include "batch/batch_window.h"

#include <QStringList>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ferrocase::testing {

// A window without widgets: keeps the values a run reads and logs, in order, what the run does.
class FakeBatchWindow : public BatchWindow {
public:
    std::u32string text1;
    std::u32string text2;
    int check1 = 0;
    int check2 = 0;
    int slider1 = 0;
    int strong = 0;
    bool quit = false;
    ReplaceAnswer replace_answer = ReplaceAnswer::cancel;
    bool question_answer = false;
    std::function<void()> on_block_yield; // runs inside the engine's yields

    QStringList log;
    std::vector<std::filesystem::path> removed;
    std::error_code removal_error; // when set, removals fail with it

    std::u32string Text1_text() const override { return text1; }
    std::u32string Text2_text() const override { return text2; }
    int Check1_value() const override { return check1; }
    int Check2_value() const override { return check2; }
    int Slider1_value() const override { return slider1; }
    int strong_encryption_value() const override { return strong; }

    void set_Timer1_enabled(bool enabled) override;
    void set_ProgressBar1(float percent) override;
    void set_ProgressBar2(float percent) override;
    void set_title(const std::string& title) override;
    void enable_window() override;
    void set_busy_pointer(bool busy) override;
    void show_message(const std::string& text, MessageIcon icon) override;
    ReplaceAnswer ask_to_replace(const std::string& text) override;
    bool ask_question(const std::string& text) override;
    void yield() override;
    Yield block_yield() override;
    void disable_form() override;
    void enable_form() override;
    bool quit_requested() const override { return quit; }
    std::error_code remove_original(const std::filesystem::path& path) override;

    // The log entries that start with prefix, in order.
    QStringList entries(const QString& prefix) const;
};

} // namespace ferrocase::testing
