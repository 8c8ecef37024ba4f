#include "file_system/temporary_name.h"

#include <cstdint>
#include <cstdio>

namespace ferrocase {

// FNV-1a: any stable hash of the target's name will do; it only has to find the name again.
std::string temporary_name(const std::filesystem::path& target) {
    std::uint64_t hash = 14695981039346656037ULL;
    const std::filesystem::path name = target.filename();
    for (const unsigned char byte : name.native()) {
        hash = (hash ^ byte) * 1099511628211ULL;
    }
    char text[36];
    std::snprintf(text, sizeof text, ".%016llx.ferrocase-part",
                  static_cast<unsigned long long>(hash));
    return text;
}

} // namespace ferrocase
