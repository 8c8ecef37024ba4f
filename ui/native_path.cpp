#include "ui/native_path.h"

#include <QFile>

namespace ferrocase {

std::filesystem::path to_native_path(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QString from_native_path(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

} // namespace ferrocase
