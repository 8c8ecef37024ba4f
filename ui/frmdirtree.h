#pragma once

#include "batch/app_state.h"

#include <QPointer>
#include <QWidget>
#include <filesystem>
#include <string>

class QPushButton;

namespace ferrocase {

class ChooserDirectoryList;
class ChooserDriveList;
class ChooserFileList;

// The path a chosen file is queued under: the directory, one "/" unless it ends in one already,
// then the file's name as the file system stores it.
std::filesystem::path chooser_file_path(const std::filesystem::path& directory,
                                        const std::string& native_name);

// The folder chooser: picks files of one directory for the queue. It opens at the process's
// current directory, and on OK, a double-click on a file, Cancel or a close through its frame it
// sets the queue, enables the main window again and deletes itself.
class frmdirtree : public QWidget {
    Q_OBJECT

public:
    frmdirtree(AppState& state, QWidget* main_window);

    ChooserDriveList* const Drive1;
    ChooserDirectoryList* const Dir1;
    QPushButton* const Command1;
    QPushButton* const Command2;
    ChooserFileList* const File1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void Command1_Click();
    void Command2_Click();
    void empty_queue();
    void enable_main_window();
    void leave();

    AppState& state_;
    // Not the Qt parent: disabling the main window would disable the chooser with it.
    QPointer<QWidget> main_window_;
    bool left_ = false;
};

} // namespace ferrocase
