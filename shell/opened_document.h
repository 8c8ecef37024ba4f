#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ferrocase {

// The documents the desktop asked this program to open, byte for byte as they were passed: the
// value of the first argument that starts with "in=" (in any letter case) and every argument after
// it, each made absolute against the current directory. None unless "shell" occurs in the
// arguments, as for command_path. The arguments are taken apart already, so a quote or a blank in
// a name is part of the name.
std::vector<std::filesystem::path> opened_documents(const std::vector<std::string>& arguments);

// One argument as a document's path: made absolute against the current directory, its bytes
// kept, so that a window started elsewhere can open it.
std::filesystem::path document_path(const std::string& name);

} // namespace ferrocase
