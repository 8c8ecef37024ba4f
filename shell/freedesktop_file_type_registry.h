#pragma once

#include "shell/file_type_registry.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace ferrocase {

// The file-type store of a freedesktop desktop: a class becomes a desktop entry of that name, an
// extension bound to a class becomes a MIME type with the extension's glob, handled by that entry
// and registered as the default for the type unless the user chose another program; a class's open
// command becomes the entry's Exec.
// Only files that change are written, each one whole or not at all; a write that fails leaves the
// file as it was and nothing is reported. A file that is there but cannot be read is left alone.
class FreedesktopFileTypeRegistry : public FileTypeRegistry {
public:
    // Starts a cache tool without waiting for it; the default starts it detached when installed.
    using StartTool = std::function<void(const QString& tool, const QStringList& arguments)>;

    // A file's content; empty when it does not exist, nothing when it cannot be read.
    using ReadFile = std::function<std::optional<std::string>(const std::filesystem::path& file)>;

    struct Folders {
        std::filesystem::path data_home;   // applications/ and mime/ live here
        std::filesystem::path config_home; // mimeapps.list lives here
    };

    explicit FreedesktopFileTypeRegistry(Folders folders, StartTool start_tool = {},
                                         ReadFile read_file = {});

    Key create_key(const std::string& name) override;
    void set_default_value(Key key, const std::string& subkey, const std::string& text) override;

    // The desktop entry written for a class, and the MIME type that an extension bound to it gets.
    std::filesystem::path desktop_entry_path(const std::string& file_class) const;
    static std::string mime_type_of(const std::string& file_class);
    // Whether a desktop entry's name is one this program wrote or installed, wherever it was.
    static bool is_ferrocase_entry(const std::string& desktop_id);

private:
    void bind_extension(const std::string& extension, const std::string& file_class);
    void set_desktop_entry_key(const std::string& file_class, std::string_view key,
                               const std::string& value);
    void refresh_later(const QString& tool, const std::filesystem::path& folder);
    bool write_if_changed(const std::filesystem::path& path, const std::string& content);
    bool cache_is_stale(const std::filesystem::path& package) const;

    Folders folders_;
    StartTool start_tool_;
    ReadFile read_file_;
    std::map<Key, std::string> keys_;
    std::set<QString> pending_refreshes_;
    QObject refresh_context_; // cancels a pending refresh when the registry goes first
};

// The user's folders: $XDG_DATA_HOME and $XDG_CONFIG_HOME, or their defaults under $HOME.
FreedesktopFileTypeRegistry::Folders user_desktop_folders();

} // namespace ferrocase
