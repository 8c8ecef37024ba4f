#pragma once

#include <QListWidget>

namespace ferrocase {

// The files of one directory, hidden ones left out, with extended multiple selection.
class ChooserFileList : public QListWidget {
    Q_OBJECT

public:
    explicit ChooserFileList(QWidget* parent = nullptr);

    QString path() const { return path_; }
    // A directory that cannot be listed shows no files.
    void setPath(const QString& path);

private:
    QString path_;
};

} // namespace ferrocase
