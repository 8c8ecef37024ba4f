#include "ui/dropped_files.h"

#include <system_error>

namespace ferrocase {

namespace {

// The path's bytes as the URL carries them: a name that is not UTF-8 stays percent-encoded in the
// URL, and decoding it to text would lose those bytes.
std::filesystem::path local_path(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

} // namespace

std::vector<std::filesystem::path> dropped_files(const QList<QUrl>& urls) {
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        const std::filesystem::path path = local_path(url);
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) {
            files.push_back(path);
        }
    }
    return files;
}

} // namespace ferrocase
