#include "cli/password_input.h"

#include "engine/password_encoding.h"
#include "strong/password_text.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace ferrocase::cli {
namespace {

PasswordInput refused(std::string why) {
    PasswordInput input;
    input.error = std::move(why);
    return input;
}

// A password that only strong files can use.
PasswordInput strong_only(std::string strong, std::string legacy_error) {
    PasswordInput input;
    input.strong = std::move(strong);
    input.legacy_error = std::move(legacy_error);
    return input;
}

std::string first_line(std::istream& in) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    // Some editors start a UTF-8 file with an invisible byte-order mark; it is not typed.
    constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
    if (line.starts_with(byte_order_mark)) {
        line.erase(0, byte_order_mark.size());
    }
    return line;
}

std::string utf8_of(char32_t character) {
    std::string text;
    if (character < 0x80) {
        text += static_cast<char>(character);
    } else if (character < 0x800) {
        text += static_cast<char>(0xC0 | (character >> 6));
        text += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        text += static_cast<char>(0xE0 | (character >> 12));
        text += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (character >> 18));
        text += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (character & 0x3F));
    }
    return text;
}

void write_text(int terminal, std::string_view text) {
    // Nothing useful can be done if the terminal refuses a prompt; the read that follows decides.
    [[maybe_unused]] const ssize_t written = ::write(terminal, text.data(), text.size());
}

// Reads one line from the terminal with echo off, restoring the terminal afterwards.
std::optional<std::string> ask_without_echo(int terminal, const char* prompt) {
    write_text(terminal, prompt);
    termios saved{};
    const bool is_terminal = ::tcgetattr(terminal, &saved) == 0;
    if (is_terminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(terminal, TCSAFLUSH, &quiet);
    }
    std::string line;
    char character = 0;
    ssize_t count = 0;
    while ((count = ::read(terminal, &character, 1)) == 1 && character != '\n') {
        line += character;
    }
    if (is_terminal) {
        ::tcsetattr(terminal, TCSAFLUSH, &saved);
    }
    write_text(terminal, "\n");
    if (count < 0 || (count == 0 && line.empty())) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

} // namespace

PasswordInput check_password(std::string_view utf8, std::string_view verification) {
    if (utf8 != verification) {
        return refused("the password and its verification differ");
    }
    if (utf8.empty()) {
        return refused("no password provided");
    }
    const auto strong = strong_password(utf8);
    if (!strong) {
        return refused("the password is not valid UTF-8 text");
    }
    const EncodedPassword encoded = encode_windows1252_from_utf8(utf8);
    if (!encoded.ok()) {
        return strong_only(*strong, "the password's character \"" + utf8_of(*encoded.unmappable) +
                                        "\" has no code in Windows-1252; use Western letters, "
                                        "digits and signs, or --strong");
    }
    if (encoded.bytes.size() > longest_password) {
        return strong_only(*strong, "the password is longer than " +
                                        std::to_string(longest_password) + " characters");
    }
    PasswordInput input;
    input.bytes = encoded.bytes;
    input.strong = *strong;
    return input;
}

PasswordInput password_from_file(const std::string& path) {
    if (path == "-") {
        const std::string line = first_line(std::cin);
        return check_password(line, line);
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return refused("cannot read the password file " + path);
    }
    const std::string line = first_line(file);
    return check_password(line, line);
}

PasswordInput password_from_terminal() {
    const int terminal = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (terminal < 0) {
        return refused("no terminal to ask for the password on; use --password-file");
    }
    const auto password = ask_without_echo(terminal, "Password: ");
    const auto verification =
        password ? ask_without_echo(terminal, "Verify password: ") : std::nullopt;
    ::close(terminal);
    if (!password || !verification) {
        return refused("no password read from the terminal");
    }
    return check_password(*password, *verification);
}

} // namespace ferrocase::cli
