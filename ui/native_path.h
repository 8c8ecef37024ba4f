#pragma once

#include <QString>
#include <filesystem>

namespace ferrocase {

// File names as the file system stores them, whatever characters they hold.
std::filesystem::path to_native_path(const QString& name);
QString from_native_path(const std::filesystem::path& path);

} // namespace ferrocase
