#include "cli/checked_output.h"

#include <cerrno>
#include <unistd.h>

namespace ferrocase::cli {

CheckedOutput::CheckedOutput(int descriptor) : descriptor_(descriptor) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

CheckedOutput::~CheckedOutput() {
    sync();
}

std::error_code CheckedOutput::finish() {
    sync();
    return error_;
}

CheckedOutput::int_type CheckedOutput::overflow(int_type character) {
    if (sync() != 0) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(character, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(character);
        pbump(1);
    }
    return traits_type::not_eof(character);
}

int CheckedOutput::sync() {
    const char* next = pbase();
    while (!error_ && next < pptr()) {
        const ssize_t written = ::write(descriptor_, next, static_cast<std::size_t>(pptr() - next));
        if (written >= 0) {
            next += written;
        } else if (errno != EINTR) {
            error_ = std::error_code(errno, std::generic_category());
        }
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return error_ ? -1 : 0;
}

} // namespace ferrocase::cli
