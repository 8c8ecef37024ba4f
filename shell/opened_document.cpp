#include "shell/opened_document.h"

#include "shell/command_line.h"

#include <algorithm>
#include <system_error>

namespace ferrocase {

// Native bytes, unchanged: std::filesystem::path keeps a POSIX name as the bytes it is given.
std::filesystem::path document_path(const std::string& name) {
    std::error_code error;
    auto path = std::filesystem::absolute(std::filesystem::path(name), error);
    return error ? std::filesystem::path(name) : path;
}

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
        documents.push_back(document_path(first));
    }
    for (++in; in != arguments.end(); ++in) {
        if (!in->empty()) {
            documents.push_back(document_path(*in));
        }
    }
    return documents;
}

} // namespace ferrocase
