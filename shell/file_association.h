#pragma once

#include "shell/file_type_registry.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ferrocase {

// The class of file this program registers; the desktop entry and the MIME type are named after it.
inline constexpr const char* ferrocase_file_class = "Ferrocase";
// Strong files are a type of their own (application/x-ferrocase-strong on a freedesktop desktop),
// opened by the same command.
inline constexpr const char* ferrocase_strong_file_class = "Ferrocase-Strong";

// The command the desktop runs to open a document: the executable, quoted the Windows way when it
// holds a blank or a double quote, then shell in="%1".
std::string open_command(const std::string& executable);

// This program as the open command names it: its bare name when that is what PATH finds,
// otherwise its absolute path, so that the association also works from a build folder.
std::string association_executable();

// The same for the program at `self` and the folders that PATH lists.
std::string association_executable(const std::filesystem::path& self,
                                   const std::vector<std::filesystem::path>& search_path);

// Writes the class "Ferrocase", the extension ".fxe" bound to it, and the class's open command,
// in that order, whether or not they exist already; then the same for the class
// "Ferrocase-Strong" and ".fxs".
void associate_file(FileTypeRegistry& registry, const std::string& executable);

} // namespace ferrocase
