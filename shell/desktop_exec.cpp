#include "shell/desktop_exec.h"

#include "shell/key_file.h"

#include <vector>

namespace ferrocase {

namespace {

// Splits the way a Windows command line is split: blanks separate words, double quotes group
// blanks into a word and are dropped, and backslashes escape a double quote (2n backslashes
// before a quote give n of them, 2n + 1 give n and a literal quote).
std::vector<std::string> split_words(std::string_view command) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    bool quoted = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c == '\\') {
            const std::size_t end = command.find_first_not_of('\\', i);
            const std::size_t backslashes =
                (end == std::string_view::npos ? command.size() : end) - i;
            const bool before_quote = end != std::string_view::npos && command[end] == '"';
            word.append(before_quote ? backslashes / 2 : backslashes, '\\');
            if (before_quote && backslashes % 2 == 1) {
                word += '"';
                i = end;
            } else {
                i += backslashes - 1;
            }
            in_word = true;
        } else if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (in_word) {
                words.push_back(word);
                word.clear();
                in_word = false;
            }
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) {
        words.push_back(word);
    }
    return words;
}

bool has_reserved_character(std::string_view word) {
    return word.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string_view::npos;
}

// A word without a field code: "%" doubled, and quoted with its special characters escaped when
// it holds any reserved character.
std::string exec_word(std::string_view word) {
    std::string plain;
    for (const char c : word) {
        plain += c;
        if (c == '%') {
            plain += '%';
        }
    }
    if (!word.empty() && !has_reserved_character(word)) {
        return plain;
    }
    std::string quoted = "\"";
    for (const char c : plain) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + '"';
}

std::string exec_argument(std::string_view word) {
    constexpr std::string_view placeholder = "%1";
    const auto at = word.find(placeholder);
    if (at == std::string_view::npos) {
        return exec_word(word);
    }
    const auto before = word.substr(0, at);
    const auto after = word.substr(at + placeholder.size());
    return (before.empty() ? "" : exec_word(before)) + "%f" +
           (after.empty() ? "" : exec_word(after));
}

} // namespace

std::string desktop_exec(std::string_view open_command) {
    std::string exec;
    const auto words = split_words(open_command);
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            exec += ' ';
        }
        exec += i == 0 ? exec_word(words[i]) : exec_argument(words[i]);
    }
    return escaped_key_file_string(exec);
}

} // namespace ferrocase
