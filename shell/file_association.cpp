#include "shell/file_association.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ferrocase {

namespace {

constexpr const char* file_class = ferrocase_file_class;
constexpr const char* extension = ".fxe";
constexpr const char* strong_extension = ".fxs";

void associate_class(FileTypeRegistry& registry, const char* class_name, const char* extension,
                     const std::string& command) {
    const FileTypeRegistry::Key class_key = registry.create_key(class_name);
    registry.set_default_value(class_key, "", class_name);

    const FileTypeRegistry::Key extension_key = registry.create_key(extension);
    registry.set_default_value(extension_key, "", class_name);

    const FileTypeRegistry::Key command_key = registry.create_key(class_name);
    registry.set_default_value(command_key, "shell\\open\\command", command);
}

// Quoted as a Windows command line is split again: a double quote of the name's own is preceded by
// a backslash, and so is every backslash right before it or before the closing quote.
std::string quoted_program(const std::string& executable) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : executable) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + '"';
}

} // namespace

std::string open_command(const std::string& executable) {
    const bool needs_quotes = executable.find_first_of(" \t\"") != std::string::npos;
    return (needs_quotes ? quoted_program(executable) : executable) + " shell in=\"%1\"";
}

std::string association_executable() {
    std::vector<std::filesystem::path> search_path;
    for (const QString& folder :
         qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
        search_path.push_back(QFileInfo(folder).filesystemFilePath());
    }
    return association_executable(
        QFileInfo(QCoreApplication::applicationFilePath()).filesystemFilePath(), search_path);
}

std::string association_executable(const std::filesystem::path& self,
                                   const std::vector<std::filesystem::path>& search_path) {
    const QFileInfo program(self);
    QStringList folders;
    for (const std::filesystem::path& folder : search_path) {
        folders << QFileInfo(folder).filePath();
    }
    const QString found =
        folders.isEmpty() ? QString() : QStandardPaths::findExecutable(program.fileName(), folders);
    const bool path_finds_self =
        !found.isEmpty() && QFileInfo(found).canonicalFilePath() == program.canonicalFilePath();
    return QDir::toNativeSeparators(path_finds_self ? program.fileName()
                                                    : program.absoluteFilePath())
        .toStdString();
}

void associate_file(FileTypeRegistry& registry, const std::string& executable) {
    const std::string command = open_command(executable);
    associate_class(registry, file_class, extension, command);
    associate_class(registry, ferrocase_strong_file_class, strong_extension, command);
}

} // namespace ferrocase
