#include "ui/dropped_files.h"

#include "ui/native_path.h"

#include <QFileInfo>

namespace ferrocase {

std::vector<std::filesystem::path> dropped_files(const QList<QUrl>& urls) {
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        const QString name = url.toLocalFile();
        if (QFileInfo(name).isFile()) {
            files.push_back(to_native_path(name));
        }
    }
    return files;
}

} // namespace ferrocase
