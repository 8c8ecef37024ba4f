#pragma once

#include "batch/batch_window.h"
#include "ui/frame_yield.h"

namespace ferrocase {

class Mainscreen;

// The main window as a batch run sees it.
class MainscreenBatchWindow : public BatchWindow {
public:
    explicit MainscreenBatchWindow(Mainscreen& screen) : screen_(screen) {}
    ~MainscreenBatchWindow() override;

    std::u32string Text1_text() const override;
    std::u32string Text2_text() const override;
    int Check1_value() const override;
    int Check2_value() const override;
    int Slider1_value() const override;
    int strong_encryption_value() const override;

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

    bool quit_requested() const override;
    std::error_code remove_original(const std::filesystem::path& path) override;

private:
    Mainscreen& screen_;
    FrameYield frame_yield_;
    bool busy_ = false;
};

} // namespace ferrocase
