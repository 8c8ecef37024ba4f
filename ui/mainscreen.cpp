#include "ui/mainscreen.h"

#include "batch/batch_run.h"
#include "shell/command_line.h"
#include "shell/file_association.h"
#include "ui/frmdirtree.h"
#include "ui/mainscreen_batch_window.h"
#include "ui/percent_bar.h"
#include "ui/twips.h"
#include "version.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>
#include <utility>

namespace ferrocase {
namespace {

const std::string idle_title =
    std::string("Ferrocase PRO - V") + version + " Password protection for your files";
const char* const finishing_title = "Finishing the current file, then quitting";

} // namespace

Mainscreen::Mainscreen(AppState& state, FileTypeRegistry& registry, std::string argument_text,
                       QWidget* parent)
    : QMainWindow(parent), state_(state), registry_(registry),
      argument_text_(std::move(argument_text)), fs_(&local_file_system()) {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips_rect(0, 0, 6090, 4680).size());
    setCentralWidget(client);
    build_controls(client);
    build_menu();
    set_tab_order();
    setAcceptDrops(true);
    Form_Load();
    fix_frame();
}

Mainscreen::~Mainscreen() = default;

void Mainscreen::Form_Load() {
    state_.window_title = idle_title;
    setWindowTitle(QString::fromStdString(state_.window_title));
    ProgressBar1->set_percent(0.0F);
    ProgressBar2->set_percent(0.0F);
    state_.block_size = 10000;
    Check1->setChecked(false);
    state_.skip_step = 1;
    state_.file_count = 0;
    Timer1->stop();
    state_.delete_originals = 0;
    associate_file();
    state_.command_line = lower_case(argument_text_);
    if (mentions_shell(state_.command_line)) {
        process_commands();
    }
}

void Mainscreen::associate_file() {
    ferrocase::associate_file(registry_, association_executable());
}

void Mainscreen::process_commands() {
    ferrocase::process_commands(state_, argument_text_);
}

void Mainscreen::Command1_Click() {
    if (state_.run_in_progress) {
        return;
    }
    setWindowTitle(QStringLiteral("Files to Process: 0"));
    chooser_ = new frmdirtree(state_, this);
    // Not from inside the chooser's destruction: a message about them may be shown.
    connect(chooser_, &QObject::destroyed, this, &Mainscreen::take_waiting_documents,
            Qt::QueuedConnection);
    chooser_->show();
    setEnabled(false);
}

void Mainscreen::Command2_Click() {
    // The button that started the run is locked during it, which moves the focus elsewhere.
    const QPointer<QWidget> had_focus = focusWidget();
    MainscreenBatchWindow window(*this);
    if (run_batch(state_, window, *fs_) == RunOutcome::already_running) {
        return;
    }
    if (quit_requested_) {
        close();
        return;
    }
    if (had_focus && had_focus->isEnabled()) {
        had_focus->setFocus();
    }
    take_waiting_documents();
}

void Mainscreen::Timer1_Timer() {
    if (const auto percent = percent_of(state_.file_position, state_.source_length)) {
        ProgressBar1->set_percent(*percent);
    }
    if (const auto percent = percent_of(state_.current_file, state_.file_count)) {
        ProgressBar2->set_percent(*percent);
    }
}

// A run in progress finishes the file it is working on and starts no other; the window closes
// when the run has ended.
void Mainscreen::request_quit() {
    if (!state_.run_in_progress) {
        close();
        return;
    }
    quit_requested_ = true;
    setWindowTitle(QString::fromLatin1(finishing_title));
}

void Mainscreen::closeEvent(QCloseEvent* event) {
    if (state_.run_in_progress) {
        event->ignore();
        request_quit();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

} // namespace ferrocase
