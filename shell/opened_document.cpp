#include "shell/opened_document.h"

#include "shell/document_path.h"
#include "batch/queue_selection.h"

#include <string>
#include <system_error>

namespace ferrocase {

namespace {

std::filesystem::path from_utf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

} // namespace

std::optional<std::filesystem::path> opened_document(const AppState& state,
                                                     std::string_view argument_text) {
    if (state.command_path.empty()) {
        return std::nullopt;
    }
    const auto passed = whole_path_after_in(argument_text);
    if (!passed || passed->empty()) {
        return std::nullopt;
    }
    std::error_code error;
    const auto document = std::filesystem::absolute(from_utf8(*passed), error);
    if (error || !std::filesystem::is_regular_file(document, error)) {
        return std::nullopt;
    }
    return document;
}

bool queue_opened_document(AppState& state, std::string_view argument_text) {
    const auto document = opened_document(state, argument_text);
    if (!document) {
        return false;
    }
    queue_selection(state, std::span(&*document, 1));
    return true;
}

} // namespace ferrocase
