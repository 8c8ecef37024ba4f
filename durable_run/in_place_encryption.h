#pragma once

#include "durable_run/recovery_journal.h"
#include "file_system/file_result.h"
#include "fxe/sector_samples.h"
#include "fxe/transform_state.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ferrocase {

// The encryption of one file in place, a window at a time: each window's samples reach the
// recovery record, and the record the disk, before any byte of the window is overwritten. It
// finishes what an earlier run recorded, and puts the file back when it fails part-way.
class InPlaceEncryption {
public:
    // `mask` is state's key laid over a block, shared by every file of a run.
    InPlaceEncryption(const EngineState& state, std::shared_ptr<const BlockMask> mask,
                      RecoveryJournal& journal, RandomAccessFile& file, std::filesystem::path path,
                      const FileStatus& status, std::int64_t window_bytes, int windows_per_record);

    // Finishes the windows an earlier, interrupted run recorded for this file, or a copy of it;
    // the entry has been matched with the file's bytes.
    FileResult finish_earlier(EngineState& state, const UnfinishedEncryption& earlier,
                              bool same_file);
    // Encrypts the rest. A file that fits in one window may be left `deferred`: recorded and
    // encrypted in memory, written by write_deferred() once the record is on disk.
    FileResult run(EngineState& state, const Yield& yield, const std::atomic<bool>* stop,
                   bool may_defer);
    bool deferred() const { return deferred_; }
    std::int64_t deferred_bytes() const {
        return deferred_ ? static_cast<std::int64_t>(buffer_.size()) : 0;
    }
    FileResult write_deferred();

    // The file is done, or as it was: its record may go.
    void forget();
    std::uint32_t record_number() const { return number_; }
    bool finished_earlier() const { return finished_earlier_; }
    // The earlier entry this file went on with, to be finished with it.
    const UnfinishedEncryption* earlier() const { return earlier_ ? &*earlier_ : nullptr; }

    InPlaceEncryption(const InPlaceEncryption&) = delete;
    InPlaceEncryption& operator=(const InPlaceEncryption&) = delete;

private:
    FileResult begin_record();
    FileResult record_window(std::int64_t offset);
    FileResult record_ahead(std::int64_t offset);
    // Checks the length, which another program may have changed.
    std::error_code check_size();
    FileResult fail(FileStep step, std::error_code error);
    void apply_mask(std::span<std::uint8_t> bytes) const;
    void transform_window(EngineState& state, std::span<std::uint8_t> window,
                          const Yield& yield) const;
    FileResult write_window(bool deferred_write);
    // Undoes this run's writes; keeps the record when that fails.
    FileResult put_back(FileResult result, bool window_tried);
    std::error_code put_back_window(std::int64_t end);

    RecoveryJournal& journal_;
    RandomAccessFile& file_;
    std::filesystem::path path_;
    FileStatus status_;
    std::int64_t window_bytes_;
    std::int64_t windows_per_record_;
    std::int64_t block_size_;
    std::string password_;
    int skip_step_;
    std::shared_ptr<const BlockMask> mask_;
    SectorSamples samples_;
    std::vector<std::uint8_t> buffer_;
    std::uint32_t number_ = 0;
    bool recorded_ = false;
    bool finished_earlier_ = false;
    bool deferred_ = false;
    std::optional<UnfinishedEncryption> earlier_;
    std::int64_t start_ = 0;         // where this run's own windows begin
    std::int64_t written_ = 0;       // this run's windows are written up to here
    std::int64_t window_offset_ = 0; // of the window in buffer_
    std::int64_t recorded_end_ = 0;  // the record covers the file up to here
};

} // namespace ferrocase
