#include "shell/file_type_registry.h"

namespace ferrocase {

FileTypeRegistry::Key InMemoryFileTypeRegistry::create_key(const std::string& name) {
    if (name.empty()) {
        return 0;
    }
    const Key key = static_cast<Key>(keys_.size()) + 1;
    keys_.emplace(key, name);
    return key;
}

void InMemoryFileTypeRegistry::set_default_value(Key key, const std::string& subkey,
                                                 const std::string& text) {
    const auto opened = keys_.find(key);
    if (opened == keys_.end()) {
        return;
    }
    const std::string path = subkey.empty() ? opened->second : opened->second + '\\' + subkey;
    values[path] = text;
    ++writes;
}

} // namespace ferrocase
