#include "shell/command_line.h"

#include "shell/document_path.h"

#include <QString>

namespace ferrocase {

namespace {

bool needs_quotes(std::string_view argument) {
    return argument.empty() || argument.find_first_of(" \t") != std::string_view::npos;
}

// An "in=" argument gets its value quoted, as the registered open command in="%1" does;
// any other argument is quoted only when it holds a blank, as a shell quotes a path with one.
std::string shell_form(std::string_view argument) {
    if (is_in_argument(argument) && (argument.size() == 3 || argument[3] != '"')) {
        std::string quoted(argument.substr(0, 3));
        quoted += '"';
        quoted += argument.substr(3);
        quoted += '"';
        return quoted;
    }
    if (needs_quotes(argument)) {
        return '"' + std::string(argument) + '"';
    }
    return std::string(argument);
}

} // namespace

bool is_in_argument(std::string_view argument) {
    return argument.size() >= 3 && (argument[0] == 'i' || argument[0] == 'I') &&
           (argument[1] == 'n' || argument[1] == 'N') && argument[2] == '=';
}

std::string argument_text(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty()) {
            text += ' ';
        }
        text += shell_form(argument);
    }
    return text;
}

std::string lower_case(std::string_view text) {
    const auto utf8 = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return utf8.toLower().toStdString();
}

bool mentions_shell(std::string_view command_line) {
    return command_line.find("shell") != std::string_view::npos;
}

void process_commands(AppState& state, std::string_view argument_text) {
    state.command_line = lower_case(argument_text);
    state.command_path = path_after_in(state.command_line);
}

} // namespace ferrocase
