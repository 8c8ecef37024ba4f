#include "tests/e2e/encrypted_document.h"

#include "durable_run/durable_run.h"
#include "strong/strong_file.h"

namespace ferrocase::testing {

FileResult write_encrypted_document(const std::filesystem::path& path, const Bytes& plain) {
    write_file(path, plain);
    EngineState state;
    state.password = document_password;
    state.skip_step = 1;
    return encrypt_file(state, local_file_system(), path, [] {});
}

FileResult write_strong_document(const std::filesystem::path& path, const Bytes& plain) {
    auto source = path;
    source.replace_extension();
    write_file(source, plain);
    EngineState state;
    const auto result =
        encrypt_strong_file(state, local_file_system(), source, path, document_password,
                            new_header({.iterations = 1, .memory_kib = 8}), [] {});
    std::filesystem::remove(source);
    return result;
}

} // namespace ferrocase::testing
