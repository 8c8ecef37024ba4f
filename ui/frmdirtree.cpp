#include "ui/frmdirtree.h"

#include "batch/queue_selection.h"
#include "ui/chooser_directory_list.h"
#include "ui/chooser_drive_list.h"
#include "ui/chooser_file_list.h"
#include "ui/module1.h"
#include "ui/twips.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QDir>
#include <QPushButton>
#include <system_error>
#include <vector>

namespace ferrocase {

namespace {

QPushButton* make_button(const QString& caption, const QString& tool_tip, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setToolTip(tool_tip);
    // Neither button answers Enter or Esc.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// Without this a screen reader sees the chooser as a mere filler, not as a window of its own.
QAccessibleInterface* chooser_as_dialog(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String(frmdirtree::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
    }
    return nullptr;
}

void install_chooser_accessibility() {
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(chooser_as_dialog);
        installed = true;
    }
}

} // namespace

std::filesystem::path chooser_file_path(const std::filesystem::path& directory,
                                        const std::string& native_name) {
    return directory / native_name;
}

frmdirtree::frmdirtree(AppState& state, QWidget* main_window)
    : QWidget(nullptr), Drive1(new ChooserDriveList(this)), Dir1(new ChooserDirectoryList(this)),
      Command1(make_button(QStringLiteral("&OK"), QStringLiteral("Accept Directory Chosen"), this)),
      Command2(
          make_button(QStringLiteral("&Cancel"), QStringLiteral("Cancel this Requester"), this)),
      File1(new ChooserFileList(this)), state_(state), main_window_(main_window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Locate File"));
    setFixedSize(twips_rect(0, 0, 4335, 5010).size());
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    setFont(font);

    install_chooser_accessibility();
    Drive1->setToolTip(QStringLiteral("Choose a drive/device"));
    Dir1->setToolTip(QStringLiteral("Choose a directory"));
    // Names for a screen reader; a tree view does not offer its tool tip as the description.
    Drive1->setAccessibleName(QStringLiteral("Drive"));
    Dir1->setAccessibleName(QStringLiteral("Folders"));
    Dir1->setAccessibleDescription(Dir1->toolTip());
    File1->setAccessibleName(QStringLiteral("Files"));
    Drive1->setGeometry(twips_rect(75, 75, 4215, 330));
    Dir1->setGeometry(twips_rect(75, 450, 4215, 2250));
    Command1->setGeometry(twips_rect(75, 4575, 1440, 390));
    Command2->setGeometry(twips_rect(2850, 4575, 1440, 390));
    File1->setGeometry(twips_rect(75, 2775, 4215, 1770));
    setTabOrder(Drive1, Dir1);
    setTabOrder(Dir1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, File1);
    Drive1->setFocus();

    Form_Load();

    connect(Drive1, &QComboBox::currentIndexChanged, this, &frmdirtree::Drive1_Change);
    connect(Dir1, &ChooserDirectoryList::pathChanged, this, &frmdirtree::Dir1_Change);
    connect(Command1, &QPushButton::clicked, this, &frmdirtree::Command1_Click);
    connect(File1, &QListWidget::itemDoubleClicked, this, &frmdirtree::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmdirtree::Command2_Click);
    if (main_window_) {
        // Opens over the window it fills, where the user is looking.
        move(main_window_->frameGeometry().center() - rect().center());
        // The chooser has no Qt parent, so it must not outlive the window it reports to.
        connect(main_window_, &QObject::destroyed, this, &QWidget::close);
    }
}

// Every opening starts afresh at the process's current directory.
void frmdirtree::Form_Load() {
    std::int16_t on_top = 1;
    set_always_on_top(*this, on_top);
    Drive1->selectVolumeOf(QDir::currentPath());
    std::error_code error;
    if (!Dir1->setNativePath(std::filesystem::current_path(error))) {
        Dir1->setPath(Drive1->rootPath());
    }
    File1->setPath(Dir1->nativePath());
}

// A volume that cannot be read leaves the directory as it was.
void frmdirtree::Drive1_Change() {
    Dir1->setPath(Drive1->rootPath());
}

void frmdirtree::Dir1_Change() {
    File1->setPath(Dir1->nativePath());
}

// Rows follow the list's order, whatever order the files were selected in. A run in progress
// owns the queue, so the chooser then leaves it alone.
void frmdirtree::Command1_Click() {
    if (!state_.run_in_progress) {
        std::vector<std::filesystem::path> files;
        const int entries = File1->count();
        for (int index = 0; index < entries; ++index) {
            const QListWidgetItem* entry = File1->item(index);
            if (entry->isSelected()) {
                files.push_back(
                    chooser_file_path(Dir1->nativePath(), ChooserFileList::native_name(entry)));
            }
        }
        queue_selection(state_, files);
        if (main_window_) {
            main_window_->setWindowTitle(
                QString::fromStdString(files_to_process_title(state_.file_count)));
        }
    }
    leave();
}

void frmdirtree::Command2_Click() {
    empty_queue();
    leave();
}

// Closing through the window frame is a Cancel: the main window must not stay disabled.
void frmdirtree::closeEvent(QCloseEvent* event) {
    if (!left_) {
        empty_queue();
        enable_main_window();
    }
    event->accept();
}

void frmdirtree::empty_queue() {
    if (!state_.run_in_progress) {
        state_.file_count = 0;
    }
}

void frmdirtree::enable_main_window() {
    left_ = true;
    if (main_window_) {
        main_window_->setEnabled(true);
    }
}

void frmdirtree::leave() {
    enable_main_window();
    close();
}

} // namespace ferrocase
