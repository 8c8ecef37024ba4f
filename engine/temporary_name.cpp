#include "engine/temporary_name.h"

#include <cstdint>
#include <cstdio>
#include <random>
#include <string_view>

namespace ferrocase {
namespace {

constexpr std::string_view suffix = ".ferrocase-part";

// FNV-1a: any stable hash of the target's name will do; it only groups leftovers.
std::string target_tag(const std::filesystem::path& target) {
    std::uint64_t hash = 14695981039346656037ULL;
    const std::filesystem::path name = target.filename();
    for (const unsigned char byte : name.native()) {
        hash = (hash ^ byte) * 1099511628211ULL;
    }
    char text[19];
    std::snprintf(text, sizeof text, ".%016llx.", static_cast<unsigned long long>(hash));
    return text;
}

} // namespace

std::string temporary_name(const std::filesystem::path& target) {
    static std::mt19937_64 random{std::random_device{}()};
    char unique[17];
    std::snprintf(unique, sizeof unique, "%016llx", static_cast<unsigned long long>(random()));
    std::string name = target_tag(target);
    name += unique;
    name += suffix;
    return name;
}

bool is_temporary_name_of(const std::filesystem::path& name, const std::filesystem::path& target) {
    const std::string& text = name.native();
    const std::string tag = target_tag(target);
    return text.size() == tag.size() + 16 + suffix.size() && text.starts_with(tag) &&
           text.ends_with(suffix);
}

} // namespace ferrocase
