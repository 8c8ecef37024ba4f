#include "durable_run/journal_records.h"

#include "fxe/sector_samples.h"

#include <algorithm>

namespace ferrocase {
namespace {

using namespace journal_format;

// FNV-1a: a check against torn and damaged records, not a defence against anyone.
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

void put_path(std::string& out, const std::filesystem::path& path) {
    put(out, static_cast<std::uint32_t>(path.native().size()));
    out += path.native();
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

    bool get_path(std::filesystem::path& path) {
        std::uint32_t length = 0;
        std::string_view name;
        if (!get(length) || !get(name, length)) {
            return false;
        }
        path = std::string(name);
        return true;
    }

    std::size_t remaining() const { return bytes_.size(); }

private:
    std::string_view bytes_;
};

bool parse_file(Reader& reader, UnfinishedEncryption& entry) {
    std::uint8_t step = 0;
    if (!(reader.get(entry.number) && reader.get(entry.identity.device) &&
          reader.get(entry.identity.inode) && reader.get(entry.size) && reader.get(step) &&
          reader.get(entry.salt) && reader.get(entry.fingerprint) && reader.get_path(entry.path))) {
        return false;
    }
    entry.skip_step = step;
    return true;
}

bool parse_window(Reader& reader, std::uint32_t& number, JournalWindow& window) {
    std::string_view samples;
    if (!(reader.get(number) && reader.get(window.offset) && reader.get(window.length))) {
        return false;
    }
    const std::int64_t count = (window.length + sector_size - 1) / sector_size;
    if (count < 0 || !reader.get(samples, static_cast<std::size_t>(count))) {
        return false;
    }
    window.samples.assign(samples.begin(), samples.end());
    return true;
}

constexpr auto sector = static_cast<std::size_t>(sector_size);
constexpr std::size_t frame_overhead = sizeof(std::uint32_t) + 1 + sizeof(std::uint64_t);

bool has_zero_sector(std::string_view bytes, std::size_t from, std::size_t to) {
    for (std::size_t start = from / sector * sector; start < to; start += sector) {
        const auto part = bytes.substr(start, std::min(sector, to - start));
        if (std::all_of(part.begin(), part.end(), [](char byte) { return byte == 0; })) {
            return true;
        }
    }
    return false;
}

// Applies one record that passed its checksum.
void apply(Contents& contents, std::uint8_t kind, std::string_view payload) {
    Reader fields(payload);
    std::uint32_t number = 0;
    switch (kind) {
    case file: {
        UnfinishedEncryption entry;
        if (parse_file(fields, entry)) {
            contents.next_number = std::max(contents.next_number, entry.number + 1);
            contents.entries[entry.number] = std::move(entry);
        }
        break;
    }
    case window: {
        JournalWindow window;
        if (parse_window(fields, number, window) && contents.entries.contains(number)) {
            contents.entries[number].windows.push_back(std::move(window));
        }
        break;
    }
    case done:
        if (fields.get(number)) {
            contents.entries.erase(number);
        }
        break;
    case finished:
        if (fields.get(number) && contents.entries.contains(number)) {
            contents.entries[number].finished = true;
        }
        break;
    case planned: {
        std::uint32_t count = 0;
        std::filesystem::path path;
        if (fields.get(count)) {
            for (std::uint32_t index = 0; index < count && fields.get_path(path); ++index) {
                contents.planned.push_back(path);
            }
        }
        break;
    }
    case settled:
        if (fields.get(number)) {
            contents.settled.insert(number);
        }
        break;
    case temporary: {
        std::filesystem::path path;
        if (fields.get_path(path)) {
            contents.temporaries.push_back(path);
        }
        break;
    }
    case plan_dropped:
        contents.planned.clear();
        contents.settled.clear();
        break;
    default:
        break;
    }
}

} // namespace

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

namespace journal_format {

std::string frame(Kind kind, const std::string& payload) {
    std::string record;
    put(record, static_cast<std::uint32_t>(payload.size()));
    record.push_back(static_cast<char>(kind));
    record += payload;
    put(record, checksum(std::string_view(record).substr(sizeof(std::uint32_t))));
    return record;
}

std::string padding(std::size_t end) {
    const std::size_t length = (sector - (end + frame_overhead) % sector) % sector;
    return frame(pad, std::string(length, '\0'));
}

std::string file_payload(const UnfinishedEncryption& entry) {
    std::string payload;
    put(payload, entry.number);
    put(payload, entry.identity.device);
    put(payload, entry.identity.inode);
    put(payload, entry.size);
    put(payload, static_cast<std::uint8_t>(entry.skip_step));
    put(payload, entry.salt);
    put(payload, entry.fingerprint);
    put_path(payload, entry.path);
    return payload;
}

std::string window_payload(std::uint32_t number, const JournalWindow& window) {
    std::string payload;
    put(payload, number);
    put(payload, window.offset);
    put(payload, window.length);
    payload.append(window.samples.begin(), window.samples.end());
    return payload;
}

std::string number_payload(std::uint32_t number) {
    std::string payload;
    put(payload, number);
    return payload;
}

std::string planned_payload(const std::vector<std::filesystem::path>& files) {
    std::string payload;
    put(payload, static_cast<std::uint32_t>(files.size()));
    for (const auto& file : files) {
        put_path(payload, file);
    }
    return payload;
}

std::string path_payload(const std::filesystem::path& path) {
    std::string payload;
    put_path(payload, path);
    return payload;
}

std::vector<std::filesystem::path> Contents::remaining() const {
    std::vector<std::filesystem::path> files;
    for (std::uint32_t index = 0; index < planned.size(); ++index) {
        if (!settled.contains(index)) {
            files.push_back(planned[index]);
        }
    }
    return files;
}

Contents parse(std::string_view bytes) {
    Contents contents;
    const bool padded = bytes.starts_with(magic);
    if (!padded && !bytes.starts_with(unpadded_magic)) {
        // A run that stopped before its first sync recorded nothing: its first sector may be
        // missing, or read as zeros. Anything else that lacks the mark was damaged since.
        const bool first_sector_lost =
            bytes.size() <= sector &&
            std::all_of(bytes.begin(), bytes.end(), [](char byte) { return byte == 0; });
        contents.damaged = !first_sector_lost && bytes.size() > magic.size();
        return contents;
    }
    std::size_t position = magic.size();
    contents.end = static_cast<std::int64_t>(position);
    while (position + frame_overhead <= bytes.size()) {
        Reader reader(bytes.substr(position));
        std::uint32_t length = 0;
        std::uint8_t kind = 0;
        std::string_view payload;
        std::uint64_t sum = 0;
        const bool whole = reader.get(length) && reader.get(kind) && reader.get(payload, length) &&
                           reader.get(sum);
        const std::size_t record_end = whole ? bytes.size() - reader.remaining() : bytes.size();
        if (whole && checksum(bytes.substr(position + sizeof(length), 1 + length)) == sum) {
            apply(contents, kind, payload);
            position = record_end;
            contents.end = static_cast<std::int64_t>(position);
            continue;
        }
        if (!whole || has_zero_sector(bytes, position, record_end)) {
            break; // the torn tail of the last write, which nothing acted on
        }
        contents.damaged = true;
        // Go on past the damaged record when its length still leads to one that checks.
        position = record_end;
    }
    // Every write ends on a sector boundary, so a crash cannot leave a record file cut
    // elsewhere.
    if (padded && bytes.size() % sector != 0) {
        contents.damaged = true;
    }
    if (contents.damaged) {
        for (auto& [number, entry] : contents.entries) {
            entry.damaged = true;
        }
    }
    return contents;
}

} // namespace journal_format
} // namespace ferrocase
