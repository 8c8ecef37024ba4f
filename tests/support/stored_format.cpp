#include "tests/support/stored_format.h"

namespace ferrocase::testing {

Bytes protect(const Bytes& plain, std::string_view password, int step) {
    constexpr std::size_t block_size = 10000;
    Bytes result = plain;
    for (std::size_t offset = 0; offset < result.size(); ++offset) {
        const std::size_t in_block = offset % block_size;
        if (in_block % static_cast<std::size_t>(step) == 0) {
            const std::size_t key = (in_block / static_cast<std::size_t>(step)) % password.size();
            result[offset] ^= static_cast<std::uint8_t>(password[key]);
        }
    }
    return result;
}

} // namespace ferrocase::testing
