#include "engine/recovery_journal.h"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <unistd.h>

namespace ferrocase {
namespace {

constexpr std::string_view journal_magic = "FXJRNL01";
constexpr std::string_view journal_extension = ".journal";

enum RecordKind : std::uint8_t { file_record = 1, window_record = 2, done_record = 3 };

// FNV-1a: a check against torn records, not a defence against anyone.
std::uint64_t checksum(std::string_view bytes, std::uint64_t hash = 14695981039346656037ULL) {
    for (const unsigned char byte : bytes) {
        hash = (hash ^ byte) * 1099511628211ULL;
    }
    return hash;
}

template <typename Number> void put(std::string& out, Number value) {
    auto bits = static_cast<std::make_unsigned_t<Number>>(value);
    for (std::size_t index = 0; index < sizeof(Number); ++index) {
        out.push_back(static_cast<char>(bits & 0xFF));
        bits = static_cast<decltype(bits)>(bits >> 8);
    }
}

// Reads little-endian numbers and byte strings; once anything is missing, every read fails.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    template <typename Number> bool get(Number& value) {
        if (bytes_.size() < sizeof(Number)) {
            bytes_ = {};
            return false;
        }
        std::make_unsigned_t<Number> bits = 0;
        for (std::size_t index = sizeof(Number); index-- > 0;) {
            bits = static_cast<decltype(bits)>((bits << 8) |
                                               static_cast<unsigned char>(bytes_[index]));
        }
        value = static_cast<Number>(bits);
        bytes_.remove_prefix(sizeof(Number));
        return true;
    }

    bool get(std::string_view& value, std::size_t length) {
        if (bytes_.size() < length) {
            bytes_ = {};
            return false;
        }
        value = bytes_.substr(0, length);
        bytes_.remove_prefix(length);
        return true;
    }

    std::size_t remaining() const { return bytes_.size(); }

private:
    std::string_view bytes_;
};

std::string file_payload(std::uint32_t number, const UnfinishedEncryption& entry) {
    std::string payload;
    put(payload, number);
    put(payload, entry.identity.device);
    put(payload, entry.identity.inode);
    put(payload, entry.size);
    put(payload, static_cast<std::uint8_t>(entry.skip_step));
    put(payload, entry.salt);
    put(payload, entry.fingerprint);
    const std::string& path = entry.path.native();
    put(payload, static_cast<std::uint32_t>(path.size()));
    payload += path;
    return payload;
}

bool parse_file(Reader& reader, std::uint32_t& number, UnfinishedEncryption& entry) {
    std::uint8_t step = 0;
    std::uint32_t path_length = 0;
    std::string_view path;
    if (!(reader.get(number) && reader.get(entry.identity.device) &&
          reader.get(entry.identity.inode) && reader.get(entry.size) && reader.get(step) &&
          reader.get(entry.salt) && reader.get(entry.fingerprint) && reader.get(path_length) &&
          reader.get(path, path_length))) {
        return false;
    }
    entry.skip_step = step;
    entry.path = std::string(path);
    return true;
}

std::string window_payload(std::uint32_t number, const JournalWindow& window) {
    std::string payload;
    put(payload, number);
    put(payload, window.offset);
    put(payload, window.length);
    payload.append(window.samples.begin(), window.samples.end());
    return payload;
}

bool parse_window(Reader& reader, std::uint32_t& number, JournalWindow& window) {
    std::string_view samples;
    if (!(reader.get(number) && reader.get(window.offset) && reader.get(window.length))) {
        return false;
    }
    const std::int64_t count = (window.length + 511) / 512;
    if (count < 0 || !reader.get(samples, static_cast<std::size_t>(count))) {
        return false;
    }
    window.samples.assign(samples.begin(), samples.end());
    return true;
}

std::error_code read_all(RandomAccessFile& file, std::string& bytes) {
    FileStatus status;
    if (auto error = file.status(status)) {
        return error;
    }
    bytes.resize(static_cast<std::size_t>(status.size));
    std::size_t count = 0;
    if (auto error =
            file.read_at(0, {reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()}, count)) {
        return error;
    }
    bytes.resize(count);
    return {};
}

std::uint64_t random_number() {
    static std::mt19937_64 generator{std::random_device{}()};
    return generator();
}

} // namespace

struct RecoveryJournal::Journal {
    std::filesystem::path path;
    std::unique_ptr<RandomAccessFile> file;
    std::int64_t end = 0;
    // Records go out in one write when they must reach the disk, not one write each.
    std::string unwritten;
    // The records of each file not yet done, by the file.
    std::map<FileIdentity, std::vector<std::uint32_t>> pending;

    std::error_code write_out() {
        if (unwritten.empty()) {
            return {};
        }
        if (auto error = file->write_at(
                end, {reinterpret_cast<const std::uint8_t*>(unwritten.data()), unwritten.size()})) {
            return error;
        }
        end += static_cast<std::int64_t>(unwritten.size());
        unwritten.clear();
        return {};
    }
};

bool UnfinishedEncryption::made_with(std::string_view password, int step) const {
    return step == skip_step && password_fingerprint(salt, password, step) == fingerprint;
}

std::uint16_t password_fingerprint(std::uint64_t salt, std::string_view password, int skip_step) {
    std::string input;
    put(input, salt);
    put(input, static_cast<std::uint8_t>(skip_step));
    input += password;
    return static_cast<std::uint16_t>(checksum(input) >> 48);
}

RecoveryJournal::RecoveryJournal(FileSystem& fs, std::filesystem::path folder)
    : fs_(fs), folder_(std::move(folder)) {}

RecoveryJournal::~RecoveryJournal() {
    close();
}

void RecoveryJournal::load_unfinished() {
    for (const auto& path : fs_.list(folder_)) {
        if (path.extension() != journal_extension || (own_ && path == own_->path)) {
            continue;
        }
        // A run still going holds its record locked.
        auto [file, error] = fs_.open_for_update(path);
        std::string bytes;
        if (!file || read_all(*file, bytes)) {
            continue;
        }
        if (!bytes.starts_with(journal_magic)) {
            // A run stopped before it recorded anything; nothing of it needs finishing.
            fs_.remove(path);
            continue;
        }
        auto journal = std::make_unique<Journal>();
        journal->path = path;
        journal->file = std::move(file);
        std::map<std::uint32_t, UnfinishedEncryption> entries;

        // A record cut short by a crash ends the journal; nothing it described was written.
        // Done marks added now go in its place, where the next reader will find them.
        Reader reader(std::string_view(bytes).substr(journal_magic.size()));
        journal->end = static_cast<std::int64_t>(journal_magic.size());
        std::uint32_t length = 0;
        std::uint8_t kind = 0;
        std::string_view payload;
        std::uint64_t sum = 0;
        while (reader.get(length) && reader.get(kind) && reader.get(payload, length) &&
               reader.get(sum)) {
            std::string checked(1, static_cast<char>(kind));
            checked += payload;
            if (checksum(checked) != sum) {
                break;
            }
            journal->end = static_cast<std::int64_t>(bytes.size() - reader.remaining());
            Reader fields(payload);
            std::uint32_t number = 0;
            if (kind == file_record) {
                UnfinishedEncryption entry;
                entry.record = path;
                if (parse_file(fields, number, entry)) {
                    entries[number] = std::move(entry);
                }
            } else if (kind == window_record) {
                JournalWindow window;
                if (parse_window(fields, number, window) && entries.contains(number)) {
                    entries[number].windows.push_back(std::move(window));
                }
            } else if (kind == done_record && fields.get(number)) {
                entries.erase(number);
            }
        }

        for (auto& [number, entry] : entries) {
            journal->pending[entry.identity].push_back(number);
            const auto known = std::find_if(unfinished_.begin(), unfinished_.end(),
                                            [&](const UnfinishedEncryption& other) {
                                                return other.identity == entry.identity;
                                            });
            if (known == unfinished_.end()) {
                unfinished_.push_back(std::move(entry));
            } else {
                // A run that finished part of another's file left the rest in its own record.
                for (auto& window : entry.windows) {
                    known->windows.push_back(std::move(window));
                }
            }
        }
        drop_if_empty(*journal);
        if (journal->file) {
            taken_over_.push_back(std::move(journal));
        }
    }
}

const UnfinishedEncryption* RecoveryJournal::unfinished_for(const FileIdentity& identity) const {
    for (const auto& entry : unfinished_) {
        if (entry.identity == identity) {
            return &entry;
        }
    }
    return nullptr;
}

std::error_code RecoveryJournal::open_own() {
    if (own_) {
        return {};
    }
    if (auto error = fs_.create_directories(folder_)) {
        return error;
    }
    auto journal = std::make_unique<Journal>();
    journal->path =
        folder_ / ("run-" + std::to_string(::getpid()) + "-" +
                   std::to_string(random_number() % 1000000000) + std::string(journal_extension));
    auto [file, error] = fs_.create_exclusive(journal->path);
    if (!file) {
        return error;
    }
    journal->file = std::move(file);
    const std::span<const std::uint8_t> magic{
        reinterpret_cast<const std::uint8_t*>(journal_magic.data()), journal_magic.size()};
    if (auto write_error = journal->file->write_at(0, magic)) {
        fs_.remove(journal->path);
        return write_error;
    }
    journal->end = static_cast<std::int64_t>(journal_magic.size());
    // The record must be found after a power cut: its name, and the folder's, on disk too.
    std::error_code sync_error = journal->file->sync();
    if (!sync_error) {
        sync_error = fs_.sync_directory(folder_);
    }
    if (!sync_error) {
        sync_error = fs_.sync_directory(folder_.parent_path());
    }
    if (sync_error) {
        journal->file->close();
        fs_.remove(journal->path);
        return sync_error;
    }
    own_ = std::move(journal);
    return {};
}

std::error_code RecoveryJournal::append(Journal& journal, std::uint8_t kind,
                                        const std::string& payload) {
    std::string record;
    put(record, static_cast<std::uint32_t>(payload.size()));
    record.push_back(static_cast<char>(kind));
    record += payload;
    put(record, checksum(std::string_view(record).substr(sizeof(std::uint32_t))));
    journal.unwritten += record;
    return {};
}

std::error_code RecoveryJournal::begin_file(const std::filesystem::path& path,
                                            const FileStatus& status, std::string_view password,
                                            int skip_step, std::uint32_t& number) {
    if (auto error = open_own()) {
        return error;
    }
    UnfinishedEncryption entry{.record = own_->path,
                               .path = path,
                               .identity = status.identity,
                               .size = status.size,
                               .skip_step = skip_step,
                               .salt = random_number(),
                               .fingerprint = 0,
                               .windows = {}};
    // A run that finishes another's file keeps that run's salt, so that both records agree.
    if (const auto* earlier = unfinished_for(status.identity)) {
        entry.salt = earlier->salt;
    }
    entry.fingerprint = password_fingerprint(entry.salt, password, skip_step);
    number = next_number_++;
    if (auto error = append(*own_, file_record, file_payload(number, entry))) {
        return error;
    }
    own_->pending[status.identity].push_back(number);
    return {};
}

std::error_code RecoveryJournal::add_window(std::uint32_t number, const JournalWindow& window) {
    return append(*own_, window_record, window_payload(number, window));
}

std::error_code RecoveryJournal::sync() {
    if (!own_) {
        return {};
    }
    if (auto error = own_->write_out()) {
        return error;
    }
    return own_->file->sync();
}

void RecoveryJournal::finish_file(const FileIdentity& identity) {
    const auto mark_done = [&](Journal& journal) {
        const auto entry = journal.pending.find(identity);
        if (entry == journal.pending.end()) {
            return;
        }
        for (const std::uint32_t number : entry->second) {
            std::string payload;
            put(payload, number);
            append(journal, done_record, payload);
        }
        journal.pending.erase(entry);
    };
    if (own_) {
        mark_done(*own_);
    }
    for (auto& journal : taken_over_) {
        mark_done(*journal);
        drop_if_empty(*journal);
    }
    std::erase_if(taken_over_, [](const auto& journal) { return !journal->file; });
    std::erase_if(unfinished_,
                  [&](const UnfinishedEncryption& entry) { return entry.identity == identity; });
}

void RecoveryJournal::drop_if_empty(Journal& journal) {
    if (!journal.pending.empty() || !journal.file) {
        return;
    }
    // The done marks go to disk before the record goes, so that a power cut cannot bring back
    // a record whose files are finished.
    journal.write_out();
    journal.file->sync();
    fs_.remove(journal.path);
    journal.file->close();
    journal.file.reset();
}

void RecoveryJournal::close() {
    if (own_) {
        drop_if_empty(*own_);
        if (own_->file) {
            own_->write_out();
            own_->file->close();
        }
        own_.reset();
    }
    for (auto& journal : taken_over_) {
        journal->write_out();
    }
    taken_over_.clear();
}

std::filesystem::path default_journal_folder() {
    std::filesystem::path state;
    if (const char* home = std::getenv("XDG_STATE_HOME"); home && *home == '/') {
        state = home;
    } else if (const char* user_home = std::getenv("HOME"); user_home && *user_home) {
        state = std::filesystem::path(user_home) / ".local" / "state";
    } else {
        state = std::filesystem::temp_directory_path();
    }
    return state / "ferrocase" / "unfinished";
}

} // namespace ferrocase
