#pragma once

#include "file_system/file_system.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ferrocase {

// A stretch of a file whose encryption had begun, with the samples that tell its sectors apart.
struct JournalWindow {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::vector<std::uint8_t> samples;
};

// An in-place encryption a run began: still part-way, or finished by a run that was then
// stopped before it got through its whole list.
struct UnfinishedEncryption {
    std::filesystem::path record; // the run's record that holds it
    std::uint32_t number = 0;     // its number in that record
    std::filesystem::path path;
    FileIdentity identity;
    std::int64_t size = 0;
    int skip_step = 1;
    std::uint64_t salt = 0;
    std::uint16_t fingerprint = 0;
    std::vector<JournalWindow> windows;
    bool finished = false;
    // Its record is damaged past this entry's start: windows may be missing.
    bool damaged = false;

    bool made_with(std::string_view password, int skip_step) const;
};

// Password fingerprints are 16 bits: enough to refuse a mistyped password, too few to test
// guesses against.
std::uint16_t password_fingerprint(std::uint64_t salt, std::string_view password, int skip_step);

namespace journal_format {

// Records of this version are written in whole sectors; those of the first version were not.
inline constexpr std::string_view magic = "FXJRNL02";
inline constexpr std::string_view unpadded_magic = "FXJRNL01";
inline constexpr std::string_view extension = ".journal";

enum Kind : std::uint8_t {
    pad = 0, // fills a write up to the next sector boundary
    file = 1,
    window = 2,
    done = 3,         // the entry is settled: nothing to finish, nothing to skip
    finished = 4,     // encrypted by a run that did not get through its list
    planned = 5,      // the run's whole list, in order
    settled = 6,      // a file of the list has been taken
    plan_dropped = 7, // the list has been offered to the user, or is no longer of use
    temporary = 8,    // a hidden name about to be given to a new file
};

// One record, framed with its length and its own checksum.
std::string frame(Kind kind, const std::string& payload);

// A record that brings a file ending at `end` to a sector boundary.
std::string padding(std::size_t end);

std::string file_payload(const UnfinishedEncryption& entry);
std::string window_payload(std::uint32_t number, const JournalWindow& window);
std::string number_payload(std::uint32_t number);
std::string planned_payload(const std::vector<std::filesystem::path>& files);
std::string path_payload(const std::filesystem::path& path);

// What a record file says, read up to its end or to a torn tail.
struct Contents {
    std::map<std::uint32_t, UnfinishedEncryption> entries;
    std::vector<std::filesystem::path> planned;
    std::set<std::uint32_t> settled;
    std::vector<std::filesystem::path> temporaries;
    // Where the next record goes: after the last one that checked.
    std::int64_t end = 0;
    // A record failed its checksum, or the file was cut, where a crash cannot have left it so.
    bool damaged = false;
    std::uint32_t next_number = 0;

    std::vector<std::filesystem::path> remaining() const;
};

// A crash can only tear the tail that was never synced, and leaves it short or with sectors
// that read as zeros. A record that fails otherwise was damaged after it was written.
Contents parse(std::string_view bytes);

} // namespace journal_format
} // namespace ferrocase
