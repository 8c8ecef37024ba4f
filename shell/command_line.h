#pragma once

#include "batch/app_state.h"

#include <string>
#include <string_view>
#include <vector>

namespace ferrocase {

// The arguments (without the program's name) joined into one text the way a Windows shell hands
// it over, double quotes included, so that "shell in=/data/Report.fxe" reads like the desktop's
// open command.
std::string argument_text(const std::vector<std::string>& arguments);

// An argument of the form in=..., "in" in any letter case.
bool is_in_argument(std::string_view argument);

// UTF-8 text in lower case.
std::string lower_case(std::string_view text);

bool mentions_shell(std::string_view command_line);

// Sets command_line to the argument text in lower case and command_path to what follows the first
// "in=" and its opening quote, up to the next double quote.
void process_commands(AppState& state, std::string_view argument_text);

} // namespace ferrocase
