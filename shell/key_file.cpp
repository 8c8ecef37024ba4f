#include "shell/key_file.h"

#include <vector>

namespace ferrocase {

namespace {

std::vector<std::string_view> split_lines(std::string_view content) {
    std::vector<std::string_view> lines;
    while (!content.empty()) {
        const auto end = content.find('\n');
        lines.push_back(content.substr(0, end));
        content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
    }
    return lines;
}

bool is_group_header(std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

bool is_header_of(std::string_view line, std::string_view group) {
    return is_group_header(line) && line.substr(1, line.size() - 2) == group;
}

// The line sets `key` when it starts with the key, then optional blanks and "=".
bool sets_key(std::string_view line, std::string_view key) {
    if (!line.starts_with(key)) {
        return false;
    }
    const auto rest = line.substr(key.size());
    const auto equals = rest.find_first_not_of(" \t");
    return equals != std::string_view::npos && rest[equals] == '=';
}

struct GroupLines {
    std::size_t header = 0;
    std::size_t end = 0; // one past the group's last line that is not blank
    std::optional<std::size_t> key_line;
};

std::optional<GroupLines> find_group(const std::vector<std::string_view>& lines,
                                     std::string_view group, std::string_view key) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!is_header_of(lines[i], group)) {
            continue;
        }
        GroupLines found{i, i + 1, std::nullopt};
        for (std::size_t j = i + 1; j < lines.size() && !is_group_header(lines[j]); ++j) {
            if (!lines[j].empty()) {
                found.end = j + 1;
            }
            if (!found.key_line && sets_key(lines[j], key)) {
                found.key_line = j;
            }
        }
        return found;
    }
    return std::nullopt;
}

std::string joined(const std::vector<std::string_view>& lines) {
    std::string content;
    for (const auto line : lines) {
        content += line;
        content += '\n';
    }
    return content;
}

} // namespace

std::optional<std::string> key_file_value(std::string_view content, std::string_view group,
                                          std::string_view key) {
    const auto lines = split_lines(content);
    const auto found = find_group(lines, group, key);
    if (!found || !found->key_line) {
        return std::nullopt;
    }
    const auto line = lines[*found->key_line];
    auto value = line.substr(line.find('=') + 1);
    value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
    return std::string(value);
}

std::string with_key_file_value(std::string_view content, std::string_view group,
                                std::string_view key, std::string_view value) {
    auto lines = split_lines(content);
    const std::string entry = std::string(key) + '=' + std::string(value);
    const auto found = find_group(lines, group, key);
    if (!found) {
        std::string appended = joined(lines);
        if (!appended.empty()) {
            appended += '\n';
        }
        return appended + '[' + std::string(group) + "]\n" + entry + '\n';
    }
    if (found->key_line) {
        lines[*found->key_line] = entry;
    } else {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(found->end), entry);
    }
    return joined(lines);
}

std::string without_key_file_entries(
    std::string_view content, std::string_view group,
    const std::function<bool(std::string_view key, std::string_view value)>& drop) {
    std::vector<std::string_view> kept;
    bool in_group = false;
    for (const auto line : split_lines(content)) {
        if (is_group_header(line)) {
            in_group = is_header_of(line, group);
        }
        const auto equals = line.find('=');
        if (in_group && !is_group_header(line) && equals != std::string_view::npos) {
            auto key = line.substr(0, equals);
            key.remove_suffix(key.size() - std::min(key.find_last_not_of(" \t") + 1, key.size()));
            auto value = line.substr(equals + 1);
            value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
            if (drop(key, value)) {
                continue;
            }
        }
        kept.push_back(line);
    }
    return joined(kept);
}

std::string escaped_key_file_string(std::string_view text) {
    std::string escaped;
    for (std::size_t i = 0; i < text.size(); ++i) {
        switch (text[i]) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case ' ':
            escaped += i == 0 ? "\\s" : " ";
            break;
        default:
            escaped += text[i];
        }
    }
    return escaped;
}

} // namespace ferrocase
