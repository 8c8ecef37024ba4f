#include "batch/app_state.h"
#include "batch/queue_selection.h"
#include "shell/command_line.h"
#include "shell/file_type_registry.h"
#include "shell/opened_document.h"
#include "ui/mainscreen.h"
#include "version.h"

#include <QApplication>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(ferrocase::version);

    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        arguments.push_back(argument.toStdString());
    }
    const std::string text = ferrocase::argument_text(arguments);

    auto registry = ferrocase::make_desktop_file_type_registry();
    ferrocase::AppState& state = ferrocase::app_state();
    ferrocase::Mainscreen window(state, *registry, text);
    if (ferrocase::queue_opened_document(state, text)) {
        window.setWindowTitle(
            QString::fromStdString(ferrocase::files_to_process_title(state.file_count)));
    }
    window.show();
    return QApplication::exec();
}
