#include "tests/strong/strong_test_files.h"

namespace ferrocase::testing {

Bytes strong_encrypted(const std::filesystem::path& folder, const Bytes& plain,
                       const StrongHeader& header, const std::string& password) {
    const auto source = folder / "plain";
    write_file(source, plain);
    EngineState state;
    const auto result = encrypt_strong_file(state, local_file_system(), source,
                                            strong_encrypted_name(source), password, header, [] {});
    if (!result.ok()) {
        throw std::runtime_error(result.describe());
    }
    auto stored = read_file(strong_encrypted_name(source));
    std::filesystem::remove(source);
    std::filesystem::remove(strong_encrypted_name(source));
    return stored;
}

Decrypted strong_decrypted(const std::filesystem::path& folder, const Bytes& stored,
                           const std::string& password, const std::optional<Bytes>& old_plain) {
    const auto source = folder / "secret.fxs";
    const auto destination = folder / "secret";
    write_file(source, stored);
    if (old_plain) {
        write_file(destination, *old_plain);
    }
    EngineState state;
    Decrypted decrypted;
    decrypted.result =
        decrypt_strong_file(state, local_file_system(), source, destination, password, [] {});
    if (std::filesystem::exists(destination)) {
        decrypted.plain = read_file(destination);
    }
    decrypted.listing = folder_listing(folder);
    std::filesystem::remove(source);
    std::filesystem::remove(destination);
    return decrypted;
}

} // namespace ferrocase::testing
