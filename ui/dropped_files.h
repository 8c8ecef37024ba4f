#pragma once

#include <QList>
#include <QUrl>
#include <filesystem>
#include <vector>

namespace ferrocase {

// The files among the dropped items, in the order dropped; folders and remote items are left out.
std::vector<std::filesystem::path> dropped_files(const QList<QUrl>& urls);

} // namespace ferrocase
