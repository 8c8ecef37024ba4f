#include "shell/freedesktop_file_type_registry.h"

#include "shell/command_line.h"
#include "shell/desktop_exec.h"
#include "shell/key_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <QXmlStreamWriter>

namespace ferrocase {

namespace {

constexpr std::string_view desktop_group = "Desktop Entry";
constexpr std::string_view defaults_group = "Default Applications";

QString qt_path(const std::filesystem::path& path) {
    return QFileInfo(path).filePath();
}

// A file that is not there reads as empty; one that is there but cannot be read gives nothing.
std::optional<std::string> read_if_readable(const std::filesystem::path& path) {
    QFile file(qt_path(path));
    if (!file.exists()) {
        return std::string();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return content.toStdString();
}

// Replaces the file as a whole. Returns whether it did.
bool replace_file(const std::filesystem::path& path, const std::string& content) {
    if (!QDir().mkpath(qt_path(path.parent_path()))) {
        return false;
    }
    QSaveFile file(qt_path(path));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto bytes = QByteArray::fromStdString(content);
    return file.write(bytes) == bytes.size() && file.commit();
}

bool is_extension(const std::string& name) {
    return name.size() > 1 && name.front() == '.';
}

// Types that the desktop can also tell by their first bytes, whatever a file's name.
std::optional<std::string_view> magic_of(const std::string& mime_type) {
    if (mime_type == "application/x-ferrocase-strong") {
        return "\\x89FXS";
    }
    return std::nullopt;
}

std::string mime_package(const std::string& mime_type, const std::string& extension,
                         const std::string& file_class) {
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement("mime-info");
    writer.writeDefaultNamespace("http://www.freedesktop.org/standards/shared-mime-info");
    writer.writeStartElement("mime-type");
    writer.writeAttribute("type", QString::fromStdString(mime_type));
    writer.writeTextElement("comment", QString::fromStdString(file_class + " document"));
    writer.writeEmptyElement("glob");
    writer.writeAttribute("pattern", QString::fromStdString('*' + extension));
    if (const auto magic = magic_of(mime_type)) {
        writer.writeStartElement("magic");
        writer.writeAttribute("priority", "50");
        writer.writeEmptyElement("match");
        writer.writeAttribute("type", "string");
        writer.writeAttribute("offset", "0");
        writer.writeAttribute("value", QString::fromUtf8(magic->data(), magic->size()));
        writer.writeEndElement();
    }
    writer.writeEndDocument();
    return xml.toStdString();
}

// Adds `item` to a key file list ("a;b;") unless it is there already.
std::string with_list_item(const std::string& list, const std::string& item) {
    const auto items = QString::fromStdString(list).split(';', Qt::SkipEmptyParts);
    if (items.contains(QString::fromStdString(item))) {
        return list;
    }
    return (items + QStringList{QString::fromStdString(item)}).join(';').toStdString() + ';';
}

std::string first_list_item(const std::string& list) {
    return list.substr(0, list.find(';'));
}

void start_if_installed(const QString& tool, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (!program.isEmpty()) {
        QProcess::startDetached(program, arguments);
    }
}

} // namespace

FreedesktopFileTypeRegistry::FreedesktopFileTypeRegistry(Folders folders, StartTool start_tool,
                                                         ReadFile read_file)
    : folders_(std::move(folders)),
      start_tool_(start_tool ? std::move(start_tool) : StartTool(start_if_installed)),
      read_file_(read_file ? std::move(read_file) : ReadFile(read_if_readable)) {}

// A user's file that could not be read is never written: writing would lose what it holds.
bool FreedesktopFileTypeRegistry::write_if_changed(const std::filesystem::path& path,
                                                   const std::string& content) {
    const auto current = read_file_(path);
    if (!current || *current == content) {
        return false;
    }
    return replace_file(path, content);
}

FileTypeRegistry::Key FreedesktopFileTypeRegistry::create_key(const std::string& name) {
    if (name.empty()) {
        return 0;
    }
    const Key key = static_cast<Key>(keys_.size()) + 1;
    keys_.emplace(key, name);
    return key;
}

void FreedesktopFileTypeRegistry::set_default_value(Key key, const std::string& subkey,
                                                    const std::string& text) {
    const auto opened = keys_.find(key);
    if (opened == keys_.end()) {
        return;
    }
    const std::string& name = opened->second;
    if (is_extension(name)) {
        if (subkey.empty()) {
            bind_extension(name, text);
        }
    } else if (subkey.empty()) {
        set_desktop_entry_key(name, "Name", escaped_key_file_string(text));
    } else if (lower_case(subkey) == "shell\\open\\command") {
        set_desktop_entry_key(name, "Exec", desktop_exec(text));
    }
}

std::filesystem::path
FreedesktopFileTypeRegistry::desktop_entry_path(const std::string& file_class) const {
    return folders_.data_home / "applications" / (file_class + ".desktop");
}

std::string FreedesktopFileTypeRegistry::mime_type_of(const std::string& file_class) {
    std::string subtype;
    for (const char c : lower_case(file_class)) {
        const bool allowed =
            (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-';
        subtype += allowed ? c : '-';
    }
    return "application/x-" + subtype;
}

bool FreedesktopFileTypeRegistry::is_ferrocase_entry(const std::string& desktop_id) {
    // Entries in subfolders of applications/ get the folder in their name
    // ("old-Ferrocase.desktop"), and the installed entry is named after the project.
    const std::string id = lower_case(desktop_id);
    return id.ends_with(".desktop") && id.find("ferrocase") != std::string::npos;
}

void FreedesktopFileTypeRegistry::bind_extension(const std::string& extension,
                                                 const std::string& file_class) {
    const std::string mime_type = mime_type_of(file_class);
    const auto package = folders_.data_home / "mime" / "packages" /
                         (lower_case(file_class) + '-' + lower_case(extension.substr(1)) + ".xml");
    const bool written = write_if_changed(package, mime_package(mime_type, extension, file_class));
    if (written || cache_is_stale(package)) {
        refresh_later("update-mime-database", folders_.data_home / "mime");
    }

    const auto entry = desktop_entry_path(file_class);
    if (const auto content = read_file_(entry)) {
        const auto handled = key_file_value(*content, desktop_group, "MimeType");
        set_desktop_entry_key(file_class, "MimeType",
                              with_list_item(handled.value_or(""), mime_type));
    }

    // The user's choice of another program stands; only none, or one of ours, is replaced.
    const auto defaults = folders_.config_home / "mimeapps.list";
    const auto content = read_file_(defaults);
    const auto chosen =
        content ? key_file_value(*content, defaults_group, mime_type) : std::nullopt;
    if (content && (!chosen || first_list_item(*chosen).empty() ||
                    is_ferrocase_entry(first_list_item(*chosen)))) {
        write_if_changed(defaults, with_key_file_value(*content, defaults_group, mime_type,
                                                       entry.filename().string()));
    }
}

// The desktop reads the types from the cache, not from the packages.
bool FreedesktopFileTypeRegistry::cache_is_stale(const std::filesystem::path& package) const {
    const QFileInfo cache(qt_path(folders_.data_home / "mime" / "mime.cache"));
    const QFileInfo source(qt_path(package));
    return source.exists() && (!cache.exists() || cache.lastModified() < source.lastModified());
}

void FreedesktopFileTypeRegistry::set_desktop_entry_key(const std::string& file_class,
                                                        std::string_view key,
                                                        const std::string& value) {
    const auto entry = desktop_entry_path(file_class);
    const auto current = read_file_(entry);
    if (!current) {
        return;
    }
    std::string content = *current;
    // A new entry only serves the file type; the installed program has its own menu entry.
    if (!key_file_value(content, desktop_group, "Type")) {
        content = with_key_file_value(content, desktop_group, "Type", "Application");
        content = with_key_file_value(content, desktop_group, "NoDisplay", "true");
        // Every class opens in this program, so each entry shows the program's own icon.
        content = with_key_file_value(content, desktop_group, "Icon", "ferrocase");
    }
    if (write_if_changed(entry, with_key_file_value(content, desktop_group, key, value))) {
        refresh_later("update-desktop-database", entry.parent_path());
    }
}

// The caches are rebuilt once, after the writes of this start, without waiting for the tools.
void FreedesktopFileTypeRegistry::refresh_later(const QString& tool,
                                                const std::filesystem::path& folder) {
    if (!QCoreApplication::instance() || pending_refreshes_.contains(tool)) {
        return;
    }
    pending_refreshes_.insert(tool);
    QTimer::singleShot(0, &refresh_context_,
                       [this, tool, arguments = QStringList{qt_path(folder)}] {
                           pending_refreshes_.erase(tool);
                           start_tool_(tool, arguments);
                       });
}

FreedesktopFileTypeRegistry::Folders user_desktop_folders() {
    const auto folder = [](QStandardPaths::StandardLocation location) {
        return QFileInfo(QStandardPaths::writableLocation(location)).filesystemFilePath();
    };
    return {folder(QStandardPaths::GenericDataLocation),
            folder(QStandardPaths::GenericConfigLocation)};
}

std::unique_ptr<FileTypeRegistry> make_desktop_file_type_registry() {
    return std::make_unique<FreedesktopFileTypeRegistry>(user_desktop_folders());
}

} // namespace ferrocase
