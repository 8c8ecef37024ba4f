#include "shell/desktop_unregistration.h"

#include "shell/command_line.h"
#include "shell/file_association.h"
#include "shell/key_file.h"

#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace ferrocase {
namespace {

void remove_file(const std::filesystem::path& path, Unregistration& done) {
    std::error_code error;
    if (std::filesystem::remove(path, error)) {
        done.removed.push_back(path);
    } else if (error) {
        done.failures.push_back("could not remove " + path.string() + ": " + error.message());
    }
}

// The MIME packages written for the class: "class-extension.xml".
std::vector<std::filesystem::path> mime_packages(const std::filesystem::path& folder,
                                                 const std::string& file_class) {
    std::vector<std::filesystem::path> packages;
    const std::string prefix = lower_case(file_class) + '-';
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix) && name.ends_with(".xml")) {
            packages.push_back(entry.path());
        }
    }
    return packages;
}

void remove_defaults(const std::filesystem::path& list, const std::string& mime_type,
                     Unregistration& done) {
    QFile file(QString::fromStdString(list.string()));
    if (!file.exists()) {
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        done.failures.push_back("could not read " + list.string() + ": " +
                                file.errorString().toStdString());
        return;
    }
    const std::string content = file.readAll().toStdString();
    file.close();
    // The class's own types only, and only where they name one of this program's entries.
    const auto ours = [&](std::string_view key, std::string_view value) {
        return key.starts_with(mime_type) && FreedesktopFileTypeRegistry::is_ferrocase_entry(
                                                 std::string(value.substr(0, value.find(';'))));
    };
    std::string kept = content;
    for (const char* group : {"Default Applications", "Added Associations"}) {
        kept = without_key_file_entries(kept, group, ours);
    }
    if (kept == content) {
        return;
    }
    QSaveFile replacement(file.fileName());
    const QByteArray bytes = QByteArray::fromStdString(kept);
    if (!replacement.open(QIODevice::WriteOnly) || replacement.write(bytes) != bytes.size() ||
        !replacement.commit()) {
        done.failures.push_back("could not rewrite " + list.string() + ": " +
                                replacement.errorString().toStdString());
        return;
    }
    done.edited.push_back(list);
}

} // namespace

Unregistration unregister_file_types(const FreedesktopFileTypeRegistry::Folders& folders,
                                     const std::vector<std::string>& file_classes,
                                     const std::filesystem::path& settings_file) {
    Unregistration done;
    const FreedesktopFileTypeRegistry registry(folders);
    for (const std::string& file_class : file_classes) {
        remove_file(registry.desktop_entry_path(file_class), done);
    }
    const std::string& file_class = file_classes.front();
    for (const auto& package : mime_packages(folders.data_home / "mime" / "packages", file_class)) {
        remove_file(package, done);
    }
    remove_defaults(folders.config_home / "mimeapps.list",
                    FreedesktopFileTypeRegistry::mime_type_of(file_class), done);
    remove_file(settings_file, done);
    // Its folder was the program's own; anything else in it is not.
    std::error_code ignored;
    std::filesystem::remove(settings_file.parent_path(), ignored);
    return done;
}

int unregister_for_user(std::ostream& out, std::ostream& err) {
    const auto folders = user_desktop_folders();
    const QString settings =
        QSettings(QStringLiteral("Ferrocase"), QStringLiteral("Ferrocase")).fileName();
    const Unregistration done = unregister_file_types(
        folders, {ferrocase_file_class, ferrocase_strong_file_class}, settings.toStdString());
    for (const auto& path : done.removed) {
        out << "removed " << path.string() << "\n";
    }
    for (const auto& path : done.edited) {
        out << "removed the lines naming Ferrocase from " << path.string() << "\n";
    }
    for (const auto& failure : done.failures) {
        err << "ferrocase: " << failure << "\n";
    }
    // The desktop reads types and handlers from these caches, not from the files.
    for (const auto& [tool, folder] :
         {std::pair{"update-mime-database", folders.data_home / "mime"},
          std::pair{"update-desktop-database", folders.data_home / "applications"}}) {
        const QString program = QStandardPaths::findExecutable(tool);
        if (!program.isEmpty() && std::filesystem::exists(folder)) {
            QProcess::execute(program, {QString::fromStdString(folder.string())});
        }
    }
    return done.failures.empty() ? 0 : 1;
}

} // namespace ferrocase
