#include "ui/dropped_files.h"

#include <system_error>

namespace ferrocase {

namespace {

// The path's bytes as the URL carries them: a name that is not UTF-8 stays percent-encoded in the
// URL, and decoding it to text would lose those bytes.
std::filesystem::path local_path(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

// The local items whose type `is_wanted` accepts, in the order dropped.
std::vector<std::filesystem::path> dropped_items(const QList<QUrl>& urls,
                                                 bool (*is_wanted)(std::filesystem::file_status)) {
    std::vector<std::filesystem::path> items;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        const std::filesystem::path path = local_path(url);
        std::error_code error;
        if (is_wanted(std::filesystem::status(path, error))) {
            items.push_back(path);
        }
    }
    return items;
}

} // namespace

std::vector<std::filesystem::path> dropped_files(const QList<QUrl>& urls) {
    return dropped_items(urls, [](std::filesystem::file_status status) {
        return std::filesystem::is_regular_file(status);
    });
}

std::vector<std::filesystem::path> dropped_folders(const QList<QUrl>& urls) {
    return dropped_items(urls, [](std::filesystem::file_status status) {
        return std::filesystem::is_directory(status);
    });
}

} // namespace ferrocase
