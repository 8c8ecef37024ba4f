#include "batch/app_state.h"
#include "batch/queue_selection.h"
#include "engine/recovery_journal.h"
#include "shell/command_line.h"
#include "shell/desktop_unregistration.h"
#include "shell/file_type_registry.h"
#include "shell/opened_document.h"
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
    // Needs no display: a user may uninstall from a text console.
    if (argc == 2 && std::string(argv[1]) == "--unregister") {
        return ferrocase::unregister_for_user(std::cout, std::cerr);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(ferrocase::version);
    QGuiApplication::setDesktopFileName(QStringLiteral(FERROCASE_APP_ID));

    // The arguments as the bytes they are: a file name need not be valid UTF-8.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto documents = ferrocase::opened_documents(arguments);

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
        ferrocase::tell_unfinished_encryptions(&window, ferrocase::local_file_system(),
                                               ferrocase::default_journal_folder());
    });
    return QApplication::exec();
}
