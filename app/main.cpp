#include "batch/app_state.h"
#include "durable_run/recovery_journal.h"
#include "shell/command_line.h"
#include "shell/file_type_registry.h"
#include "shell/gui_arguments.h"
#include "shell/single_instance.h"
#include "ui/mainscreen.h"
#include "ui/quit_signals.h"
#include "ui/unfinished_notice.h"
#include "version.h"

#include <QApplication>
#include <QTimer>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    // The arguments as the bytes they are: a file name need not be valid UTF-8.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto request = ferrocase::read_gui_arguments(arguments);
    // Help, version and unregistering are answered before any display is needed.
    if (const auto status =
            ferrocase::answer_without_window(request, ferrocase::version, std::cout, std::cerr)) {
        return *status;
    }
    const auto& documents = request.documents;

    QApplication application(argc, argv);
    QApplication::setApplicationVersion(ferrocase::version);
    QGuiApplication::setDesktopFileName(QStringLiteral(FERROCASE_APP_ID));

    ferrocase::SingleInstance instance(ferrocase::instance_name());
    if (instance.hand_over(documents)) {
        return 0;
    }

    auto registry = ferrocase::make_desktop_file_type_registry();
    ferrocase::Mainscreen window(ferrocase::app_state(), *registry,
                                 ferrocase::argument_text(arguments));
    instance.listen([&window](std::vector<std::filesystem::path> handed_over) {
        window.open_documents(std::move(handed_over));
    });
    ferrocase::QuitSignals quit_signals;
    QObject::connect(&quit_signals, &ferrocase::QuitSignals::quitRequested, &window,
                     &ferrocase::Mainscreen::request_quit);
    window.show();
    if (!documents.empty()) {
        window.open_documents(documents);
    }
    QTimer::singleShot(0, &window, [&window] {
        const auto again = ferrocase::tell_unfinished_encryptions(
            &window, ferrocase::local_file_system(), ferrocase::default_journal_folder());
        if (!again.empty()) {
            window.open_documents(again);
        }
    });
    return QApplication::exec();
}
