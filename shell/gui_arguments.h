#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace ferrocase {

// What the window program's arguments ask for.
enum class GuiRequest { open_window, print_help, print_version, unregister, refuse };

struct GuiArguments {
    GuiRequest request = GuiRequest::open_window;
    std::vector<std::filesystem::path> documents; // to queue, absolute, byte for byte
    std::string refusal;                          // why the arguments were refused
};

// Reads the arguments (without the program's name). The desktop's form, "shell in=FILE", is read
// as it always was when it comes before any "--"; otherwise every argument is a file to queue or
// one of the options ("--" ends the options).
GuiArguments read_gui_arguments(const std::vector<std::string>& arguments);

// Answers the requests that need no window, and gives the exit status; nothing for the window.
std::optional<int> answer_without_window(const GuiArguments& arguments, std::string_view version,
                                         std::ostream& out, std::ostream& err);

} // namespace ferrocase
