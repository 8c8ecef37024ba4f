#include "durable_run/durable_run.h"
#include "durable_run/record_match.h"
#include "file_system/engine_error.h"

namespace ferrocase {
// What keeps a run from losing data to what changes around it: the list it was given, names
// that lead elsewhere by the time a file's turn comes, two sources of one destination, and an
// original that changed before its removal.

std::error_code DurableRun::plan(const std::vector<std::filesystem::path>& files, int first_tag) {
    first_tag_ = first_tag;
    for (std::size_t index = 0; index < files.size(); ++index) {
        FileStatus status;
        if (!fs_.status(files[index], status)) {
            listed_[first_tag + static_cast<int>(index)] = status.identity;
        }
    }
    // A single file needs no list: its own record covers it.
    if (files.size() < 2) {
        return {};
    }
    planned_ = true;
    return journal_.plan(files);
}

bool DurableRun::listed_file_changed(const FileStatus& status, int tag) const {
    const auto listed = listed_.find(tag);
    return listed != listed_.end() && listed->second != status.identity;
}

std::optional<FileResult> DurableRun::destination_taken(const std::filesystem::path& destination) {
    if (destinations_.insert(absolute_path(destination)).second) {
        return std::nullopt;
    }
    return file_failure(FileStep::refused, destination, EngineError::same_destination);
}

std::optional<FileResult> DurableRun::refusal(const std::filesystem::path& source,
                                              const std::filesystem::path& destination, int tag) {
    auto [file, status, failure] = open_source(fs_, source, SourceAccess::read);
    if (!file) {
        return std::nullopt; // the format's own opening tells why
    }
    if (auto refused = admit(source, status, tag)) {
        return refused;
    }
    if (is_part_way(*file, status, journal_.earlier(), EngineState{}.block_size)) {
        return file_failure(FileStep::refused, source, EngineError::part_way);
    }
    return destination.empty() ? std::nullopt : destination_taken(destination);
}

std::error_code DurableRun::remove_original(
    int tag, const std::filesystem::path& path,
    const std::function<std::error_code(const std::filesystem::path&)>& remove) {
    // Held locked meanwhile, so that no other run starts on it.
    auto [file, now, failure] = open_source(fs_, path, SourceAccess::read);
    if (!file) {
        return failure.error;
    }
    const auto read = sources_.find(tag);
    if (read == sources_.end() || read->second.identity != now.identity ||
        read->second.size != now.size || read->second.change_time != now.change_time) {
        return EngineError::changed_during_run;
    }
    if (auto error = remove(path)) {
        return error;
    }
    return fs_.sync_directory(folder_of(path));
}

} // namespace ferrocase
