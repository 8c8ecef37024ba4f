#include "cli/password_input.h"

#include "cli/echo_off.h"
#include "cli/shown_name.h"
#include "fxe/password_encoding.h"
#include "strong/key_derivation.h"
#include "strong/password_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
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

void drop_carriage_return(std::string& line) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
}

constexpr std::string_view malformed_utf16 =
    "the password file's UTF-16 text is malformed (a lone surrogate or an odd number of bytes)";

// The rest of a UTF-16 line after its byte-order mark, as UTF-8; nothing when a surrogate stands
// alone or a last byte has no partner. Such a file is refused, not repaired: a repaired strong
// password would be another one.
std::optional<std::string> utf16_line(std::istream& in, bool little_endian) {
    std::string line;
    std::optional<char32_t> high_surrogate;
    char pair[2];
    while (in.read(pair, 2)) {
        const auto first = static_cast<unsigned char>(pair[0]);
        const auto second = static_cast<unsigned char>(pair[1]);
        const char32_t unit = little_endian ? (second << 8 | first) : (first << 8 | second);
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high_surrogate.has_value() != low) {
            wipe(line);
            return std::nullopt;
        }
        if (low) {
            line += utf8_of(0x10000 + ((*high_surrogate - 0xD800) << 10) + (unit - 0xDC00));
            high_surrogate.reset();
        } else if (unit == '\n') {
            break;
        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
            high_surrogate = unit;
        } else {
            line += utf8_of(unit);
        }
    }
    if (high_surrogate || in.gcount() == 1) {
        wipe(line);
        return std::nullopt;
    }
    drop_carriage_return(line);
    return line;
}

// The first line without its line end, as UTF-8; nothing for malformed UTF-16.
std::optional<std::string> first_line(std::istream& in) {
    std::string line;
    char character = 0;
    while (in.get(character) && character != '\n') {
        line += character;
        // Windows editors save "Unicode" text as UTF-16, which a byte-order mark announces.
        if (line == "\xFF\xFE" || line == "\xFE\xFF") {
            return utf16_line(in, line[0] == '\xFF');
        }
    }
    drop_carriage_return(line);
    // Some editors start a UTF-8 file with an invisible byte-order mark; it is not typed.
    constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
    if (line.starts_with(byte_order_mark)) {
        line.erase(0, byte_order_mark.size());
    }
    return line;
}

// A NUL makes the matching bytes pass through unchanged, and other control characters cannot
// be typed into the window's password box: neither belongs in a password.
std::optional<std::string> control_character_refusal(std::string_view utf8) {
    std::size_t character_number = 0;
    for (const char byte : utf8) {
        const auto code = static_cast<unsigned char>(byte);
        if ((code & 0xC0) != 0x80) {
            ++character_number;
        }
        if (code < 0x20) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(code));
            return "the password contains the control character U+" + std::string(hex) +
                   " (character " + std::to_string(character_number) + ")";
        }
    }
    return std::nullopt;
}

PasswordInput password_from_line(std::optional<std::string> line) {
    if (!line) {
        return refused(std::string(malformed_utf16));
    }
    PasswordInput input = check_password(*line, *line);
    if (line->find('\0') != std::string::npos) {
        input.error += "; a password file holds UTF-8 text, or UTF-16 with a byte-order mark";
    }
    wipe(*line);
    return input;
}

void write_text(int terminal, std::string_view text) {
    // Nothing useful can be done if the terminal refuses a prompt; the read that follows decides.
    [[maybe_unused]] const ssize_t written = ::write(terminal, text.data(), text.size());
}

// Reads one line from the terminal with echo off.
std::optional<std::string> ask_without_echo(int terminal, const char* prompt) {
    write_text(terminal, prompt);
    std::string line;
    char character = 0;
    ssize_t count = 0;
    {
        const EchoOff quiet(terminal);
        while ((count = ::read(terminal, &character, 1)) == 1 && character != '\n') {
            line += character;
        }
    }
    write_text(terminal, "\n");
    if (count < 0 || (count == 0 && line.empty())) {
        return std::nullopt;
    }
    drop_carriage_return(line);
    return line;
}

PasswordInput ask(int terminal, Verification verification_wanted) {
    auto password = ask_without_echo(terminal, "Password: ");
    // A strong file refuses a wrong password by itself, so a typing error costs nothing.
    auto verification = !password || verification_wanted == Verification::none
                            ? password
                            : ask_without_echo(terminal, "Verify password: ");
    PasswordInput input = password && verification ? check_password(*password, *verification)
                                                   : refused("no password read from the terminal");
    for (auto* typed : {&password, &verification}) {
        if (*typed) {
            wipe(**typed);
        }
    }
    return input;
}

} // namespace

PasswordInput check_password(std::string_view utf8, std::string_view verification) {
    if (utf8 != verification) {
        return refused("the password and its verification differ");
    }
    if (utf8.empty()) {
        return refused("no password provided; an empty password protects nothing");
    }
    auto strong = strong_password(utf8);
    if (!strong) {
        return refused("the password is not valid UTF-8 text");
    }
    if (const auto refusal = control_character_refusal(utf8)) {
        wipe(*strong);
        return refused(*refusal);
    }
    EncodedPassword encoded = encode_windows1252_from_utf8(utf8);
    if (!encoded.ok()) {
        return strong_only(std::move(*strong),
                           "the password's character \"" + utf8_of(*encoded.unmappable) +
                               "\" has no code in Windows-1252; use Western letters, "
                               "digits and signs, or --strong");
    }
    if (encoded.bytes.size() > longest_password) {
        wipe(encoded.bytes);
        return strong_only(std::move(*strong), "the password is longer than " +
                                                   std::to_string(longest_password) +
                                                   " characters");
    }
    PasswordInput input;
    input.bytes = std::move(encoded.bytes);
    input.strong = std::move(*strong);
    return input;
}

PasswordInput::~PasswordInput() {
    wipe(bytes);
    wipe(strong);
}

PasswordInput password_from_file(const std::string& path, Verification verification) {
    if (path == "-") {
        if (::isatty(STDIN_FILENO)) {
            return ask(STDIN_FILENO, verification);
        }
        return password_from_line(first_line(std::cin));
    }
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return refused("the password file " + shown_name(path) + " is a folder");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return refused("cannot read the password file " + shown_name(path) + ": " +
                       std::strerror(errno));
    }
    return password_from_line(first_line(file));
}

PasswordInput password_from_terminal(Verification verification) {
    const int terminal = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (terminal < 0) {
        return refused("no terminal to ask for the password on; use --password-file");
    }
    PasswordInput input = ask(terminal, verification);
    ::close(terminal);
    return input;
}

} // namespace ferrocase::cli
