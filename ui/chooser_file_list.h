#pragma once

#include <QListWidget>
#include <filesystem>
#include <string>

namespace ferrocase {

// The files of one directory, hidden ones left out, with extended multiple selection.
class ChooserFileList : public QListWidget {
    Q_OBJECT

public:
    explicit ChooserFileList(QWidget* parent = nullptr);

    QString path() const { return path_; }
    // A directory that cannot be listed shows no files.
    void setPath(const std::filesystem::path& path);

    // The entry's name as the file system stores it, which its text may not spell exactly.
    static std::string native_name(const QListWidgetItem* entry);

private:
    QString path_;
};

} // namespace ferrocase
