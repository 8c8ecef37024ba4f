#include "shell/document_path.h"

#include <algorithm>
#include <optional>

namespace ferrocase {

namespace {

char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_utf8_continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

struct PathSpan {
    std::string_view::iterator begin;
    std::string_view::iterator end; // at the closing quote or the end of the text
};

std::optional<PathSpan> find_path_after_in(std::string_view text) {
    constexpr std::string_view marker = "in=";
    const auto found = std::search(text.begin(), text.end(), marker.begin(), marker.end(),
                                   [](char a, char b) { return ascii_lower(a) == b; });
    if (found == text.end()) {
        return std::nullopt;
    }
    auto begin = found + static_cast<std::ptrdiff_t>(marker.size());
    if (begin != text.end()) {
        ++begin;
        while (begin != text.end() && is_utf8_continuation(*begin)) {
            ++begin;
        }
    }
    return PathSpan{begin, std::find(begin, text.end(), '"')};
}

} // namespace

std::string path_after_in(std::string_view text) {
    const auto span = find_path_after_in(text);
    return span ? std::string(span->begin, span->end) : std::string();
}

} // namespace ferrocase
