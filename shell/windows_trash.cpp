#include "shell/trash.h"

#include <QFile>
#include <QString>

namespace ferrocase {

// Windows names are UTF-16, so Qt's move to the Recycle Bin takes them exactly.
std::error_code move_to_trash(const std::filesystem::path& path) {
    if (QFile::moveToTrash(QString::fromStdWString(path.native()))) {
        return {};
    }
    return make_error_code(std::errc::io_error);
}

} // namespace ferrocase
