#include "shell/opened_document.h"

#include "shell/command_line.h"

#include <algorithm>
#include <system_error>

namespace ferrocase {

namespace {

// Native bytes, unchanged: std::filesystem::path keeps a POSIX name as the bytes it is given.
std::filesystem::path absolute(const std::string& name) {
    std::error_code error;
    auto path = std::filesystem::absolute(std::filesystem::path(name), error);
    return error ? std::filesystem::path(name) : path;
}

} // namespace

std::vector<std::filesystem::path> opened_documents(const std::vector<std::string>& arguments) {
    if (!mentions_shell(lower_case(argument_text(arguments)))) {
        return {};
    }
    auto in = std::find_if(arguments.begin(), arguments.end(), is_in_argument);
    if (in == arguments.end()) {
        return {};
    }
    std::vector<std::filesystem::path> documents;
    const std::string first = in->substr(3);
    if (!first.empty()) {
        documents.push_back(absolute(first));
    }
    for (++in; in != arguments.end(); ++in) {
        if (!in->empty()) {
            documents.push_back(absolute(*in));
        }
    }
    return documents;
}

} // namespace ferrocase
