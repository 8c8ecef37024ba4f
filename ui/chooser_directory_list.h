#pragma once

#include <QTreeWidget>
#include <filesystem>

namespace ferrocase {

// The open directory shown within its path, from the root down, with its subdirectories below it.
// A double-click or Enter on an entry opens that directory.
class ChooserDirectoryList : public QTreeWidget {
    Q_OBJECT

public:
    explicit ChooserDirectoryList(QWidget* parent = nullptr);

    QString path() const { return path_; }
    // The open directory as the file system spells it, which path() may not spell exactly.
    const std::filesystem::path& nativePath() const { return native_path_; }
    // Opens the directory. One that does not exist or cannot be read leaves the open one as it was.
    bool setPath(const QString& path);
    bool setNativePath(const std::filesystem::path& path);

signals:
    void pathChanged(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // The path is always shown open, so there is nothing to expand or collapse.
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

private:
    void open_item(QTreeWidgetItem* item);
    void show_open_directory();

    QString path_;
    std::filesystem::path native_path_;
};

} // namespace ferrocase
