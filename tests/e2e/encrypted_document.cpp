#include "tests/e2e/encrypted_document.h"

namespace ferrocase::testing {

FileResult write_encrypted_document(const std::filesystem::path& path, const Bytes& plain) {
    write_file(path, plain);
    EngineState state;
    state.password = document_password;
    state.skip_step = 1;
    return encrypt_file(state, local_file_system(), path, [] {});
}

} // namespace ferrocase::testing
