#include "shell/gui_arguments.h"

#include "shell/command_line.h"
#include "shell/desktop_unregistration.h"
#include "shell/opened_document.h"

#include <algorithm>
#include <system_error>

namespace ferrocase {
namespace {

// The command-line program's options are spelled the same way.
struct GuiOption {
    std::string_view name;
    std::string_view short_name;
    GuiRequest request;
    std::string_view help;
};

constexpr GuiOption gui_options[] = {
    {"--help", "-h", GuiRequest::print_help, "show this help and exit"},
    {"--version", "-V", GuiRequest::print_version, "show the version and exit"},
    {"--unregister", "", GuiRequest::unregister, "remove what earlier starts wrote for this user"},
};

bool is_shell_word(std::string_view argument) {
    return lower_case(argument) == "shell";
}

// The arguments as the desktop's open command gives them: read exactly as they always were. After
// "--" every argument is a file, whatever its name ("ferrocase -- %F").
bool is_desktop_form(const std::vector<std::string>& arguments) {
    const auto options_end = std::find(arguments.begin(), arguments.end(), "--");
    return std::any_of(arguments.begin(), options_end, is_shell_word) ||
           std::any_of(arguments.begin(), options_end, is_in_argument);
}

std::string usage() {
    std::string text = "Usage: ferrocase [FILE...]\n"
                       "Opens the window with the FILEs queued; a window already open takes them "
                       "instead.\n\n";
    for (const GuiOption& option : gui_options) {
        const std::string names =
            (option.short_name.empty() ? "    " : std::string(option.short_name) + ", ") +
            std::string(option.name);
        text += "  " + names + std::string(16 - std::min<std::size_t>(names.size(), 15), ' ') +
                std::string(option.help) + "\n";
    }
    return text;
}

} // namespace

GuiArguments read_gui_arguments(const std::vector<std::string>& arguments) {
    GuiArguments read;
    if (is_desktop_form(arguments)) {
        read.documents = opened_documents(arguments);
        return read;
    }
    bool options_ended = false;
    for (const std::string& argument : arguments) {
        if (options_ended || argument.size() < 2 || argument[0] != '-') {
            read.documents.push_back(document_path(argument));
            continue;
        }
        if (argument == "--") {
            options_ended = true;
            continue;
        }
        const auto option = std::find_if(
            std::begin(gui_options), std::end(gui_options), [&argument](const GuiOption& known) {
                return known.name == argument ||
                       (!known.short_name.empty() && known.short_name == argument);
            });
        if (option == std::end(gui_options)) {
            return {GuiRequest::refuse, {}, "unknown option " + argument};
        }
        read.request = option->request;
        return read;
    }
    return read;
}

std::optional<int> answer_without_window(const GuiArguments& arguments, std::string_view version,
                                         std::ostream& out, std::ostream& err) {
    switch (arguments.request) {
    case GuiRequest::print_help:
        out << usage();
        return 0;
    case GuiRequest::print_version:
        out << "ferrocase " << version << "\n";
        return 0;
    case GuiRequest::unregister:
        return unregister_for_user(out, err);
    case GuiRequest::refuse:
        err << "ferrocase: " << arguments.refusal << "\nTry 'ferrocase --help'.\n";
        return 2;
    case GuiRequest::open_window:
        break;
    }
    return std::nullopt;
}

} // namespace ferrocase
