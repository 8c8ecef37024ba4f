#pragma once

#include "engine/file_system.h"

#include <filesystem>

class QWidget;

namespace ferrocase {

// Tells the user which files an earlier run stopped part-way through encrypting, and how to
// finish them; says nothing when there are none.
void tell_unfinished_encryptions(QWidget* parent, FileSystem& fs,
                                 const std::filesystem::path& journal_folder);

} // namespace ferrocase
