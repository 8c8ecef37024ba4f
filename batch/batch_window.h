#pragma once

#include "file_system/file_result.h"
#include "fxe/transform_state.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace ferrocase {

// The icon of a message box, as the platform's style value.
enum class MessageIcon { error = 16, exclamation = 48, information = 64 };

// The user's answer when strong files would take the place of existing files.
enum class ReplaceAnswer { replace, skip, cancel };

// What a batch run may do to the main window, and nothing more.
class BatchWindow {
public:
    virtual ~BatchWindow() = default;

    virtual std::u32string Text1_text() const = 0; // the password
    virtual std::u32string Text2_text() const = 0; // its verification
    virtual int Check1_value() const = 0;          // delete originals: 0 or 1
    virtual int Check2_value() const = 0;          // allow multiple encryption: 0 or 1
    virtual int Slider1_value() const = 0;         // byte skipping: 0 to 4

    // "Strong Encryption (.fxs)": 0 or 1, read before every file.
    virtual int strong_encryption_value() const = 0;

    virtual void set_Timer1_enabled(bool enabled) = 0;
    virtual void set_ProgressBar1(float percent) = 0;
    virtual void set_ProgressBar2(float percent) = 0;
    virtual void set_title(const std::string& title) = 0; // UTF-8
    virtual void enable_window() = 0;
    virtual void set_busy_pointer(bool busy) = 0;
    // Modal: returns once the user has dismissed it.
    virtual void show_message(const std::string& text, MessageIcon icon) = 0; // UTF-8
    // Modal, with the buttons "Replace", "Skip" and "Cancel".
    virtual ReplaceAnswer ask_to_replace(const std::string& text) = 0; // UTF-8
    // A question with Yes and No; true for Yes.
    virtual bool ask_question(const std::string& text) = 0; // UTF-8

    // Lets every pending event through.
    virtual void yield() = 0;
    // The engine's callback between blocks; may let events through less often than it is called.
    virtual Yield block_yield() = 0;
    virtual void disable_form() = 0;
    virtual void enable_form() = 0;

    // The user has asked to end the program; the run stops starting files.
    virtual bool quit_requested() const = 0;
    // Moves the source of a finished decryption to the trash; what the trash cannot take is kept.
    virtual std::error_code remove_original(const std::filesystem::path& path) = 0;
};

} // namespace ferrocase
