#include "durable_run/durable_run.h"

#include "durable_run/in_place_encryption.h"
#include "durable_run/record_match.h"
#include "file_system/engine_error.h"
#include "fxe/sector_samples.h"
#include "fxe/window_decryption.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <set>
#include <utility>

namespace ferrocase {
// A file whose new content is written, or about to be, but not yet known to be on disk.
struct DurableRun::Pending {
    Pending(int tag_, std::filesystem::path path_, const FileStatus& source,
            std::unique_ptr<RandomAccessFile> file_)
        : tag(tag_), path(std::move(path_)), identity(source.identity), bytes(source.size),
          file(std::move(file_)) {}

    int tag = 0;
    std::filesystem::path path; // the file, or the decryption's destination
    FileIdentity identity;
    std::int64_t bytes = 0;
    std::unique_ptr<RandomAccessFile> file; // held open, and so locked, until done
    std::unique_ptr<InPlaceEncryption> encryption;
    std::unique_ptr<NewFile> new_file; // named once on disk
    FileResult result;
    bool settled = false;
};

DurableRun::DurableRun(FileSystem& fs, std::filesystem::path journal_folder)
    : DurableRun(fs, std::move(journal_folder), Limits{}) {}

DurableRun::DurableRun(FileSystem& fs, std::filesystem::path journal_folder, Limits limits)
    : fs_(fs), limits_(limits), journal_(fs, std::move(journal_folder)) {
    // A window holds whole blocks, for the keystream, and whole sectors, for the record.
    const std::int64_t unit = std::lcm<std::int64_t>(EngineState{}.block_size, sector_size);
    limits_.window_bytes = std::max(unit, limits_.window_bytes / unit * unit);
    journal_.load_unfinished();
    fs_.note_temporary_names(
        [this](const std::filesystem::path& name) { return journal_.note_temporary(name); });
}

DurableRun::~DurableRun() {
    finish();
    fs_.note_temporary_names({});
}

void DurableRun::finish() {
    close(false);
}

void DurableRun::complete() {
    close(true);
}

void DurableRun::close(bool completed) {
    flush();
    // The run is over: whoever has not taken the outcomes yet will not be told sooner.
    count_outcomes_as_told();
    mark_told_done();
    journal_.close(completed);
}

void DurableRun::mark_told_done() {
    for (const DoneFile& done : std::exchange(told_done_, {})) {
        journal_.finish_file(done.identity, done.earlier ? &*done.earlier : nullptr);
    }
    for (const int tag : std::exchange(settled_, {})) {
        if (planned_ && tag >= first_tag_) {
            journal_.settle(static_cast<std::uint32_t>(tag - first_tag_));
        }
    }
}

std::shared_ptr<const BlockMask> DurableRun::mask_for(const EngineState& state) {
    if (!mask_ || mask_password_ != state.password || mask_step_ != state.skip_step) {
        mask_ = std::make_shared<const BlockMask>(state.password, state.skip_step,
                                                  static_cast<std::size_t>(state.block_size));
        mask_password_ = state.password;
        mask_step_ = state.skip_step;
    }
    return mask_;
}

void DurableRun::report(int tag, FileResult result) {
    outcomes_.push_back({tag, std::move(result)});
}

void DurableRun::count_outcomes_as_told() {
    told_done_.insert(told_done_.end(), done_.begin(), done_.end());
    done_.clear();
    for (const FileOutcome& outcome : outcomes_) {
        settled_.push_back(outcome.tag);
    }
}

std::vector<FileOutcome> DurableRun::take_outcomes() {
    count_outcomes_as_told();
    return std::exchange(outcomes_, {});
}

namespace {

FileResult repeated(const std::filesystem::path& path, const std::filesystem::path& first) {
    FileResult result = file_failure(FileStep::repeated, path, {});
    result.other = first;
    return result;
}

} // namespace

std::optional<FileResult> DurableRun::admit(const std::filesystem::path& path,
                                            const FileStatus& status, int tag) {
    if (const auto [first, inserted] = taken_.emplace(status.identity, path); !inserted) {
        return repeated(path, first->second);
    }
    if (listed_file_changed(status, tag)) {
        // A name swapped for a link, or another file, since the list was made.
        return file_failure(FileStep::refused, path, EngineError::changed_during_run);
    }
    sources_[tag] = status;
    return std::nullopt;
}

// A file this run still holds is locked against every other opening, this run's too.
void DurableRun::report_unopened(int tag, const std::filesystem::path& path, FileResult failure) {
    FileStatus status;
    if (failure.error == EngineError::in_use && !fs_.status(path, status)) {
        if (const auto first = taken_.find(status.identity); first != taken_.end()) {
            return report(tag, repeated(path, first->second));
        }
    }
    report(tag, std::move(failure));
}

SourceFile DurableRun::start_file(EngineState& state, const std::filesystem::path& path,
                                  SourceAccess access, int tag) {
    mark_told_done();
    state.source_length = 0;
    state.file_position = 0;
    if (FileStatus status; journal_.holds_files() && !fs_.status(path, status)) {
        journal_.let_go_of(status.identity);
    }
    SourceFile source = open_source(fs_, path, access);
    if (!source.file) {
        report_unopened(tag, path, std::move(source.failure));
    } else if (auto refused = admit(path, source.status, tag)) {
        source.file.reset();
        report(tag, std::move(*refused));
    }
    return source;
}

void DurableRun::encrypt(EngineState& state, const std::filesystem::path& path, int tag,
                         const Yield& yield) {
    auto [file, status, failure] = start_file(state, path, SourceAccess::update, tag);
    if (!file) {
        return;
    }
    state.source_length = status.size;
    state.file_position = 1;
    const auto mask = mask_for(state);
    const RecordMatch match =
        match_record(*file, status, journal_.earlier(), !journal_.unreadable().empty(),
                     state.password, state.skip_step, mask.get(), state.block_size);
    using Match = RecordMatch::Kind;
    if (match.kind == Match::refused) {
        FileResult result = file_failure(FileStep::resume, path, match.error);
        result.other = match.entry ? match.entry->record : journal_.unreadable().front();
        return report(tag, std::move(result));
    }
    if (match.kind == Match::finished) {
        journal_.forget(UnfinishedEncryption(*match.entry));
        FileResult result;
        result.path = path;
        result.skipped_finished = true;
        return report(tag, std::move(result));
    }
    auto encryption =
        std::make_unique<InPlaceEncryption>(state, mask, journal_, *file, path, status,
                                            limits_.window_bytes, limits_.windows_per_record);
    if (match.kind == Match::part_way || match.kind == Match::part_way_copy) {
        if (FileResult result =
                encryption->finish_earlier(state, *match.entry, match.kind == Match::part_way);
            !result.ok()) {
            return report(tag, std::move(result));
        }
    }
    const bool may_defer = !encryption->finished_earlier();
    if (FileResult result = encryption->run(state, yield, stop_now_, may_defer); !result.ok()) {
        return report(tag, std::move(result));
    }
    auto pending = std::make_unique<Pending>(tag, path, status, std::move(file));
    pending->result.finished_interrupted = encryption->finished_earlier();
    pending->encryption = std::move(encryption);
    add_pending(std::move(pending));
}

void DurableRun::decrypt(EngineState& state, const std::filesystem::path& source,
                         const std::filesystem::path& destination, int tag, const Yield& yield) {
    auto [input, status, failure] = start_file(state, source, SourceAccess::read, tag);
    if (!input) {
        return;
    }
    // A file left part-way by an in-place encryption is only ever finished.
    if (is_part_way(*input, status, journal_.earlier(), state.block_size)) {
        return report(tag, file_failure(FileStep::refused, source, EngineError::part_way));
    }
    if (auto refused = destination_taken(destination)) {
        return report(tag, std::move(*refused));
    }
    auto [output, create_error] = fs_.create_new(destination, status);
    if (!output) {
        return report(tag, file_failure(FileStep::create_destination, destination, create_error));
    }
    // Until it is put in place, the new file has no name: dropped, it leaves nothing.
    if (FileResult result =
            decrypt_windows(state, *mask_for(state), *input, *output, status, limits_.window_bytes,
                            stop_now_, yield, source, destination);
        !result.ok()) {
        return report(tag, std::move(result));
    }
    auto pending = std::make_unique<Pending>(tag, destination, status, std::move(input));
    pending->new_file = std::move(output);
    add_pending(std::move(pending));
}

void DurableRun::write_new_file(const std::filesystem::path& source,
                                const std::filesystem::path& destination, int tag,
                                const WriteNewFile& write) {
    mark_told_done();
    if (auto refused = refusal(source, destination, tag)) {
        return report(tag, std::move(*refused));
    }
    std::unique_ptr<NewFile> unnamed;
    FileResult result = write(unnamed);
    if (!result.ok() || !unnamed) {
        return report(tag, std::move(result));
    }
    FileStatus status;
    if (const auto admitted = sources_.find(tag); admitted != sources_.end()) {
        status = admitted->second;
    } else {
        fs_.status(source, status);
    }
    auto pending = std::make_unique<Pending>(tag, destination, status, nullptr);
    pending->new_file = std::move(unnamed);
    add_pending(std::move(pending));
}

void DurableRun::add_pending(std::unique_ptr<Pending> pending) {
    if (pending_.empty()) {
        first_pending_ = std::chrono::steady_clock::now();
    }
    pending_bytes_ += pending->bytes;
    held_bytes_ += pending->encryption ? pending->encryption->deferred_bytes() : 0;
    pending_.push_back(std::move(pending));
    if (static_cast<int>(pending_.size()) >= limits_.pending_files ||
        pending_bytes_ >= limits_.pending_bytes || held_bytes_ >= limits_.held_bytes ||
        std::chrono::steady_clock::now() - first_pending_ >= limits_.pending_time) {
        flush();
    }
}

void DurableRun::flush() {
    mark_told_done();
    if (pending_.empty()) {
        return;
    }
    auto pending = std::exchange(pending_, {});
    pending_bytes_ = 0;
    held_bytes_ = 0;
    const auto settle = [&](Pending& item, FileResult result) {
        if (item.encryption && result.failed_step == FileStep::sync) {
            // Written but perhaps not on disk: the record stays for a later run to check.
            result.partly_transformed = true;
        }
        item.new_file.reset();
        item.file.reset();
        report(item.tag, std::move(result));
        item.settled = true;
    };
    const auto unsettled = [&] {
        std::vector<Pending*> items;
        for (auto& item : pending) {
            if (!item->settled) {
                items.push_back(item.get());
            }
        }
        return items;
    };

    // Small files were only recorded: the record goes to disk before their first byte.
    const std::error_code record_error = journal_.sync();
    for (Pending* item : unsettled()) {
        if (!item->encryption || !item->encryption->deferred()) {
            continue;
        }
        if (record_error) {
            item->encryption->forget(); // nothing of it was written
            settle(*item, file_failure(FileStep::record, item->path, record_error));
        } else if (FileResult result = item->encryption->write_deferred(); !result.ok()) {
            settle(*item, std::move(result));
        }
    }

    // One flush of each file system for many files; a lone file flushes only itself.
    const auto written = unsettled();
    if (written.size() == 1) {
        Pending& item = *written.front();
        RandomAccessFile& file = item.new_file ? *item.new_file : *item.file;
        if (auto error = file.sync()) {
            settle(item, file_failure(FileStep::sync, item.path, error));
        }
    } else {
        std::map<std::uint64_t, std::error_code> devices;
        for (Pending* item : written) {
            if (!devices.contains(item->identity.device)) {
                devices[item->identity.device] = fs_.sync_file_system(folder_of(item->path));
            }
            if (auto error = devices[item->identity.device]) {
                settle(*item, file_failure(FileStep::sync, item->path, error));
            }
        }
    }

    // New files take their names only once their content is on disk; then the names go too.
    std::set<std::filesystem::path> folders;
    for (Pending* item : unsettled()) {
        if (!item->new_file) {
            continue;
        }
        if (auto error = item->new_file->put_in_place()) {
            settle(*item, file_failure(FileStep::replace_destination, item->path, error));
        } else {
            folders.insert(folder_of(item->path));
        }
    }
    for (const auto& folder : folders) {
        const std::error_code error = fs_.sync_directory(folder);
        for (Pending* item : unsettled()) {
            if (error && item->new_file && folder_of(item->path) == folder) {
                settle(*item, file_failure(FileStep::sync, folder, error));
            }
        }
    }

    for (Pending* item : unsettled()) {
        if (item->encryption) {
            const UnfinishedEncryption* earlier = item->encryption->earlier();
            done_.push_back({item->identity, earlier ? std::optional(*earlier) : std::nullopt});
        }
        settle(*item, item->result);
    }
}

namespace {

// A run of one file, done and on disk when it returns.
FileResult run_one(FileSystem& fs, const std::function<void(DurableRun&)>& take) {
    DurableRun run(fs, default_journal_folder());
    take(run);
    run.flush();
    const FileResult result = run.take_outcomes().front().result;
    run.complete();
    return result;
}

} // namespace

FileResult encrypt_file(EngineState& state, FileSystem& fs, const std::filesystem::path& path,
                        const Yield& yield) {
    return run_one(fs, [&](DurableRun& run) { run.encrypt(state, path, 0, yield); });
}

FileResult decrypt_file(EngineState& state, FileSystem& fs, const std::filesystem::path& source,
                        const std::filesystem::path& destination, const Yield& yield) {
    return run_one(fs, [&](DurableRun& run) { run.decrypt(state, source, destination, 0, yield); });
}

} // namespace ferrocase
