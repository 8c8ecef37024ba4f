#include "durable_run/in_place_encryption.h"

#include "file_system/engine_error.h"

#include <algorithm>
#include <utility>

namespace ferrocase {
InPlaceEncryption::InPlaceEncryption(const EngineState& state,
                                     std::shared_ptr<const BlockMask> mask,
                                     RecoveryJournal& journal, RandomAccessFile& file,
                                     std::filesystem::path path, const FileStatus& status,
                                     std::int64_t window_bytes, int windows_per_record)
    : journal_(journal), file_(file), path_(std::move(path)), status_(status),
      window_bytes_(window_bytes), windows_per_record_(std::max(1, windows_per_record)),
      block_size_(state.block_size), password_(state.password), skip_step_(state.skip_step),
      mask_(std::move(mask)), samples_(*mask_, state.block_size) {}

FileResult InPlaceEncryption::fail(FileStep step, std::error_code error) {
    return file_failure(step, path_, error);
}

std::error_code InPlaceEncryption::check_size() {
    FileStatus now;
    if (auto error = file_.status(now)) {
        return error;
    }
    return now.size == status_.size ? std::error_code{} : EngineError::size_changed;
}

FileResult InPlaceEncryption::begin_record() {
    if (recorded_) {
        return {};
    }
    if (auto error =
            journal_.begin_file(path_, status_, password_, skip_step_, earlier(), number_)) {
        return fail(FileStep::record, error);
    }
    recorded_ = true;
    return {};
}

void InPlaceEncryption::forget() {
    journal_.drop_file(status_.identity);
    recorded_ = false;
}

void InPlaceEncryption::apply_mask(std::span<std::uint8_t> bytes) const {
    for (std::size_t start = 0; start < bytes.size();
         start += static_cast<std::size_t>(block_size_)) {
        mask_->apply(
            bytes.subspan(start, std::min<std::size_t>(static_cast<std::size_t>(block_size_),
                                                       bytes.size() - start)));
    }
}

FileResult InPlaceEncryption::finish_earlier(EngineState& state,
                                             const UnfinishedEncryption& earlier, bool same_file) {
    if (same_file) {
        earlier_ = earlier;
    }
    auto refuse = [&](EngineError error) {
        FileResult result = fail(FileStep::resume, error);
        result.other = earlier.record;
        return result;
    };
    // Every recorded sector must be either plain or encrypted before any is touched.
    for (const bool writing : {false, true}) {
        for (const JournalWindow& window : earlier.windows) {
            const std::int64_t length = std::min(window.length, status_.size - window.offset);
            if (length <= 0) {
                continue;
            }
            buffer_.resize(static_cast<std::size_t>(length));
            if (auto error = read_exactly(file_, window.offset, buffer_)) {
                return fail(FileStep::read, error);
            }
            const auto states = samples_.judge(window.offset, buffer_, window.samples);
            if (!writing) {
                if (std::find(states.begin(), states.end(), SectorState::unknown) != states.end()) {
                    return refuse(EngineError::changed_since_interrupted);
                }
                start_ = std::max(start_, window.offset + length);
                continue;
            }
            if (std::find(states.begin(), states.end(), SectorState::plain) == states.end()) {
                continue;
            }
            samples_.encrypt_plain(window.offset, buffer_, states);
            if (auto error = file_.write_at(window.offset, buffer_)) {
                FileResult result = fail(FileStep::write, error);
                result.partly_transformed = true;
                return result;
            }
        }
    }
    finished_earlier_ = true;
    written_ = start_;
    state.file_position = 1 + std::min(start_, status_.size / block_size_ * block_size_);
    return {};
}

void InPlaceEncryption::transform_window(EngineState& state, std::span<std::uint8_t> window,
                                         const Yield& yield) const {
    for (std::size_t start = 0; start < window.size();
         start += static_cast<std::size_t>(block_size_)) {
        const auto block =
            window.subspan(start, std::min<std::size_t>(static_cast<std::size_t>(block_size_),
                                                        window.size() - start));
        transform_block(state, block, *mask_);
        if (static_cast<std::int64_t>(block.size()) == block_size_) {
            yield();
            state.file_position += block_size_;
            yield();
        }
    }
}

FileResult InPlaceEncryption::run(EngineState& state, const Yield& yield,
                                  const std::atomic<bool>* stop, bool may_defer) {
    for (std::int64_t offset = start_; offset < status_.size; offset += window_bytes_) {
        if (stop && stop->load()) {
            FileResult result = fail(FileStep::interrupted, {});
            result.partly_transformed = written_ > 0;
            if (!result.partly_transformed) {
                forget();
            }
            return result;
        }
        const std::int64_t length = std::min(window_bytes_, status_.size - offset);
        const bool deferrable = may_defer && offset == 0 && length == status_.size;
        if (offset >= recorded_end_ && !deferrable) {
            if (FileResult result = record_ahead(offset); !result.ok()) {
                return put_back(result, false);
            }
        }
        buffer_.resize(static_cast<std::size_t>(length));
        if (auto error = read_exactly(file_, offset, buffer_)) {
            return put_back(fail(FileStep::read, error), false);
        }
        if (deferrable) {
            // Recorded now, on disk with the record's next flush, written after it.
            if (FileResult result = record_window(offset); !result.ok()) {
                return put_back(result, false);
            }
        }
        transform_window(state, buffer_, yield);
        window_offset_ = offset;
        if (deferrable) {
            deferred_ = true;
            return {};
        }
        if (FileResult result = write_window(false); !result.ok()) {
            return result;
        }
    }
    if (auto error = check_size()) {
        return put_back(fail(FileStep::write, error), false);
    }
    buffer_ = {}; // the file waits for the run's flush without its last window
    return {};
}

// The samples of buffer_, the file's plain bytes at `offset`, go into the record.
FileResult InPlaceEncryption::record_window(std::int64_t offset) {
    if (FileResult result = begin_record(); !result.ok()) {
        return result;
    }
    const JournalWindow window{offset, static_cast<std::int64_t>(buffer_.size()),
                               samples_.take(offset, buffer_)};
    if (auto error = journal_.add_window(number_, window)) {
        return fail(FileStep::record, error);
    }
    recorded_end_ = offset + window.length;
    return {};
}

// Records several windows ahead with one flush of the record: each is read twice, the second
// time from the cache, rather than the record being flushed once a window.
FileResult InPlaceEncryption::record_ahead(std::int64_t offset) {
    const std::int64_t end = std::min(status_.size, offset + window_bytes_ * windows_per_record_);
    for (std::int64_t start = offset; start < end; start += window_bytes_) {
        buffer_.resize(static_cast<std::size_t>(std::min(window_bytes_, end - start)));
        if (auto error = read_exactly(file_, start, buffer_)) {
            return fail(FileStep::read, error);
        }
        if (FileResult result = record_window(start); !result.ok()) {
            return result;
        }
    }
    if (auto error = journal_.sync()) {
        return fail(FileStep::record, error);
    }
    return {};
}

FileResult InPlaceEncryption::write_window(bool deferred_write) {
    if (auto error = check_size()) {
        return put_back(fail(FileStep::write, error), false);
    }
    if (auto error = file_.write_at(window_offset_, buffer_)) {
        return put_back(fail(FileStep::write, error), true);
    }
    if (!deferred_write) {
        // Large files start going to disk while the next window is read; small ones are all
        // flushed together.
        file_.start_writeback(window_offset_, static_cast<std::int64_t>(buffer_.size()));
    }
    written_ = window_offset_ + static_cast<std::int64_t>(buffer_.size());
    return {};
}

FileResult InPlaceEncryption::write_deferred() {
    deferred_ = false;
    return write_window(true);
}

FileResult InPlaceEncryption::put_back(FileResult result, bool window_tried) {
    if (finished_earlier_) {
        // What an earlier run began is not ours to undo: its record lets a later run finish.
        result.partly_transformed = true;
        return result;
    }
    // Never write past an end that another program may have moved.
    FileStatus now;
    const std::int64_t end = file_.status(now) ? 0 : std::min(now.size, status_.size);
    std::error_code error;
    std::vector<std::uint8_t> bytes;
    for (std::int64_t offset = start_; !error && offset < std::min(written_, end);
         offset += window_bytes_) {
        bytes.resize(
            static_cast<std::size_t>(std::min(window_bytes_, std::min(written_, end) - offset)));
        error = read_exactly(file_, offset, bytes);
        if (!error) {
            apply_mask(bytes);
            error = file_.write_at(offset, bytes);
        }
    }
    if (!error && window_tried && window_offset_ < end) {
        error = put_back_window(end);
    }
    if (error) {
        result.partly_transformed = true;
    } else {
        forget();
    }
    return result;
}

// The window's write failed part-way: only the sectors that changed are written back, so that
// a sparse file on a full disk needs no new space to be restored.
std::error_code InPlaceEncryption::put_back_window(std::int64_t end) {
    std::vector<std::uint8_t> original = buffer_;
    apply_mask(original);
    original.resize(static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(original.size()), end - window_offset_)));
    std::vector<std::uint8_t> now(original.size());
    if (auto error = read_exactly(file_, window_offset_, now)) {
        return error;
    }
    for (std::size_t sector = 0; sector < original.size();
         sector += static_cast<std::size_t>(sector_size)) {
        const std::size_t length =
            std::min<std::size_t>(static_cast<std::size_t>(sector_size), original.size() - sector);
        if (std::equal(original.begin() + sector, original.begin() + sector + length,
                       now.begin() + sector)) {
            continue;
        }
        if (auto error = file_.write_at(window_offset_ + static_cast<std::int64_t>(sector),
                                        std::span(original).subspan(sector, length))) {
            return error;
        }
    }
    return {};
}

} // namespace ferrocase
