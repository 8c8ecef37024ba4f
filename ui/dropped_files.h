#pragma once

#include <QList>
#include <QUrl>
#include <filesystem>
#include <vector>

namespace ferrocase {

// The files among the dropped items, in the order dropped; remote items are left out.
std::vector<std::filesystem::path> dropped_files(const QList<QUrl>& urls);

// The local folders among the dropped items, in the order dropped.
std::vector<std::filesystem::path> dropped_folders(const QList<QUrl>& urls);

} // namespace ferrocase
