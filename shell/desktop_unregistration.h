#pragma once

#include "shell/freedesktop_file_type_registry.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace ferrocase {

struct Unregistration {
    std::vector<std::filesystem::path> removed; // files deleted
    std::vector<std::filesystem::path> edited;  // files that lost lines naming this program
    std::vector<std::string> failures;          // what could not be undone, and why
};

// Undoes what starting the program wrote for the user, for one who uninstalls it: the desktop
// entries of `file_classes`, the MIME packages and the lines of mimeapps.list named after the
// first, and `settings_file`. A default that names another program stays.
Unregistration unregister_file_types(const FreedesktopFileTypeRegistry::Folders& folders,
                                     const std::vector<std::string>& file_classes,
                                     const std::filesystem::path& settings_file);

// The above for this user and this program, then the desktop's caches rebuilt; what was done goes
// to `out`, failures to `err`. The exit status: 0, or 1 when anything could not be undone.
int unregister_for_user(std::ostream& out, std::ostream& err);

} // namespace ferrocase
