#pragma once

#include <map>
#include <memory>
#include <string>

namespace ferrocase {

// The desktop's store of file types, reduced to the two operations the program needs: create (or
// open) a key under the root of file classes, and set the default value of one of its subkeys.
// Failures are silent by design: the program starts the same whether or not the desktop took them.
class FileTypeRegistry {
public:
    using Key = int; // 0 means the key could not be created or opened

    virtual ~FileTypeRegistry() = default;

    virtual Key create_key(const std::string& name) = 0;
    // An empty subkey means the key itself. Subkeys are separated by "\".
    virtual void set_default_value(Key key, const std::string& subkey, const std::string& text) = 0;
};

// Keeps the entries in memory, keyed by their full path ("Ferrocase\shell\open\command").
class InMemoryFileTypeRegistry : public FileTypeRegistry {
public:
    Key create_key(const std::string& name) override;
    void set_default_value(Key key, const std::string& subkey, const std::string& text) override;

    std::map<std::string, std::string> values;
    int writes = 0;

private:
    std::map<Key, std::string> keys_;
};

// The desktop this program runs on: freedesktop MIME info and a desktop entry.
std::unique_ptr<FileTypeRegistry> make_desktop_file_type_registry();

} // namespace ferrocase
