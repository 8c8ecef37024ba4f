#include "file_system/file_result.h"

#include "file_system/engine_error.h"

namespace ferrocase {

namespace {

const char* failure_text(FileStep step) {
    switch (step) {
    case FileStep::none:
        return "processed ";
    case FileStep::open_source:
        return "could not open ";
    case FileStep::create_destination:
        return "could not create a new file beside ";
    case FileStep::length:
        return "could not find the length of ";
    case FileStep::read:
        return "could not read ";
    case FileStep::write:
        return "could not write ";
    case FileStep::sync:
        return "could not save to disk ";
    case FileStep::close:
        return "could not close ";
    case FileStep::replace_destination:
        return "could not replace ";
    case FileStep::record:
        return "could not keep the recovery record for ";
    case FileStep::resume:
        return "could not finish the interrupted encryption of ";
    case FileStep::repeated:
        return "skipped ";
    case FileStep::interrupted:
        return "stopped part-way through ";
    case FileStep::refused:
        return "refused ";
    }
    return "could not process ";
}

} // namespace

FileResult file_failure(FileStep step, const std::filesystem::path& path, std::error_code error) {
    FileResult result;
    result.failed_step = step;
    result.path = path;
    result.error = error;
    return result;
}

SourceFile open_source(FileSystem& fs, const std::filesystem::path& path, SourceAccess access) {
    SourceFile source;
    auto [file, open_error] =
        access == SourceAccess::read ? fs.open_for_reading(path) : fs.open_for_update(path);
    if (!file) {
        source.failure = file_failure(FileStep::open_source, path, open_error);
    } else if (auto error = file->status(source.status)) {
        source.failure = file_failure(FileStep::length, path, error);
    } else {
        source.file = std::move(file);
    }
    return source;
}

std::string FileResult::describe() const {
    std::string text = failure_text(failed_step) + path.string();
    if (ok()) {
        return text;
    }
    if (failed_step == FileStep::repeated) {
        return text + ": the same file as " + other.string();
    }
    if (error) {
        text += ": " + error.message();
    }
    if (at_byte >= 0) {
        text += " at byte " + std::to_string(at_byte);
    }
    if (failed_step == FileStep::resume && error == EngineError::record_unreadable) {
        text +=
            " (once you have checked the files it may have held, remove " + other.string() + ")";
    } else if (failed_step == FileStep::resume) {
        text += " (to encrypt the file as it is now instead, give up that encryption with: "
                "ferrocase-cli --forget " +
                path.string() + ")";
    }
    if (partly_transformed) {
        text += "; the file is left partly encrypted: encrypt it again with the same password "
                "and level to finish";
    } else if (failed_step == FileStep::interrupted) {
        text += "; the file is as it was";
    }
    return text;
}

std::optional<std::filesystem::path> decrypted_name(const std::filesystem::path& source) {
    if (source.filename().native().size() <= 4) {
        return std::nullopt;
    }
    const auto& name = source.native();
    return std::filesystem::path(name.substr(0, name.size() - 4));
}

} // namespace ferrocase
