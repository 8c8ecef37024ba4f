#include "strong/strong_error.h"

#include <string>

namespace ferrocase {
namespace {

class StrongCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "ferrocase strong format"; }

    std::string message(int code) const override {
        switch (static_cast<StrongError>(code)) {
        case StrongError::not_a_strong_file:
            return "not a Ferrocase strong file";
        case StrongError::newer_version:
            return "made by a newer version of Ferrocase";
        case StrongError::iterations_beyond_limit:
            return "its password hash asks for more than 16 iterations, this program's limit";
        case StrongError::memory_beyond_limit:
            return "its password hash asks for more than 1 GiB of memory, this program's limit";
        case StrongError::chunk_size_beyond_limit:
            return "its chunks are larger than 1 MiB, this program's limit";
        case StrongError::wrong_password:
            return "wrong password";
        case StrongError::damaged:
            return "the file is damaged";
        case StrongError::would_replace:
            return "a different file of that name exists, and is kept";
        case StrongError::empty_password:
            return "the password is empty, and an empty password protects nothing";
        }
        return "unknown error";
    }
};

} // namespace

const std::error_category& strong_category() {
    static const StrongCategory category;
    return category;
}

std::error_code make_error_code(StrongError error) {
    return {static_cast<int>(error), strong_category()};
}

} // namespace ferrocase
