#include "shell/file_type_registry.h"

#include <QString>
#include <map>
#include <windows.h>

namespace ferrocase {

namespace {

std::wstring wide(const std::string& utf8) {
    return QString::fromStdString(utf8).toStdWString();
}

// HKEY_CLASSES_ROOT; without administrator rights Windows stores the keys for the user alone.
class WindowsFileTypeRegistry : public FileTypeRegistry {
public:
    WindowsFileTypeRegistry() = default;
    WindowsFileTypeRegistry(const WindowsFileTypeRegistry&) = delete;
    WindowsFileTypeRegistry& operator=(const WindowsFileTypeRegistry&) = delete;

    ~WindowsFileTypeRegistry() override {
        for (const auto& [key, handle] : handles_) {
            RegCloseKey(handle);
        }
    }

    Key create_key(const std::string& name) override {
        HKEY handle = nullptr;
        if (RegCreateKeyW(HKEY_CLASSES_ROOT, wide(name).c_str(), &handle) != ERROR_SUCCESS) {
            return 0;
        }
        const Key key = static_cast<Key>(handles_.size()) + 1;
        handles_.emplace(key, handle);
        return key;
    }

    void set_default_value(Key key, const std::string& subkey, const std::string& text) override {
        const auto opened = handles_.find(key);
        if (opened == handles_.end()) {
            return;
        }
        const std::wstring name = wide(subkey);
        const std::wstring value = wide(text);
        // The length is taken from the text itself for REG_SZ.
        RegSetValueW(opened->second, name.empty() ? nullptr : name.c_str(), REG_SZ, value.c_str(),
                     0);
    }

private:
    std::map<Key, HKEY> handles_;
};

} // namespace

std::unique_ptr<FileTypeRegistry> make_desktop_file_type_registry() {
    return std::make_unique<WindowsFileTypeRegistry>();
}

} // namespace ferrocase
