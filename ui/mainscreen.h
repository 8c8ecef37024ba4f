#pragma once

#include "batch/app_state.h"
#include "file_system/file_system.h"
#include "shell/file_type_registry.h"

#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QTimer;

namespace ferrocase {

class PercentBar;
class frmdirtree;

// The program's one permanent window: the password boxes, the options, the two buttons that
// choose files and run them, and the progress of a run.
class Mainscreen : public QMainWindow {
    Q_OBJECT

public:
    // Runs the load step before the window is shown: idle values, the file type, the command line.
    Mainscreen(AppState& state, FileTypeRegistry& registry, std::string argument_text,
               QWidget* parent = nullptr);
    ~Mainscreen() override;

    // Lock and unlock the input controls around a run; both let pending events through at the end.
    void disable_form();
    void enable_form();

    // Documents opened from the desktop, by this start or a later one: queued after the files
    // queued already, or once a run in progress has ended. A folder stands for the files below
    // it, as a dropped one does. One message names those that are neither files nor folders. The
    // window comes to the front.
    void open_documents(std::vector<std::filesystem::path> documents);

    // Every way of ending the program comes here. During a run the file in hand is finished
    // first, and the title says so.
    void request_quit();

    // Runs go through this file system from now on (tests inject faults).
    void use_file_system(FileSystem& fs) { fs_ = &fs; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class MainscreenBatchWindow;

    void build_controls(QWidget* client);
    void describe_for_screen_readers();
    void build_menu();
    void add_strong_option();
    void set_tab_order();
    void fix_frame();

    void Form_Load();
    void associate_file();
    void process_commands();

    void Command1_Click();
    void Command2_Click();
    void Check1_Click(bool ticked);
    void Check2_Click(bool ticked);
    void Timer1_Timer();
    void about_Click();
    void quit_Click();

    bool opens_popup_menu(QObject* watched, QMouseEvent* press) const;
    // Queues the files after those queued already, leaving out any of them queued already, and
    // shows the count in the title.
    void add_files_to_queue(const std::vector<std::filesystem::path>& files);
    void take_waiting_documents();
    void bring_to_front();

    AppState& state_;
    FileTypeRegistry& registry_;
    std::string argument_text_;
    FileSystem* fs_;
    bool quit_requested_ = false;
    QPointer<frmdirtree> chooser_;
    std::vector<std::filesystem::path> waiting_documents_;
    bool taking_documents_ = false;

    QPushButton* Command1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label4 = nullptr;
    QSlider* Slider1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* Command2 = nullptr;
    PercentBar* ProgressBar1 = nullptr;
    PercentBar* ProgressBar2 = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* file = nullptr;
    QAction* strong = nullptr;
    QAction* about = nullptr;
    QAction* quit = nullptr;
};

} // namespace ferrocase
