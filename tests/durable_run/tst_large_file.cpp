#include "durable_run/durable_run.h"

#include <QTest>
#include <cstring>

using namespace ferrocase;

namespace {

constexpr std::int64_t two_gib = std::int64_t{1} << 31;

// What was written to the virtual file: how much, and the bytes around the 2 GiB mark and the
// last byte.
struct WriteRecord {
    std::int64_t written = 0;
    std::map<std::int64_t, std::uint8_t> kept;
};

std::vector<std::int64_t> watched_offsets(std::int64_t length) {
    return {two_gib - 1, two_gib, two_gib + 1, two_gib + 3, length - 1};
}

// A file of more than 2 GiB that exists only as arithmetic: it reads as zeros.
class VirtualFile : public RandomAccessFile {
public:
    VirtualFile(std::int64_t length, WriteRecord& record) : length_(length), record_(record) {}

    std::error_code status(FileStatus& status) override {
        status.size = length_;
        status.permissions =
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
        return {};
    }
    std::error_code read_at(std::int64_t offset, std::span<std::uint8_t> bytes,
                            std::size_t& bytes_read) override {
        bytes_read = static_cast<std::size_t>(
            std::clamp<std::int64_t>(length_ - offset, 0, static_cast<std::int64_t>(bytes.size())));
        std::memset(bytes.data(), 0, bytes_read);
        return {};
    }
    std::error_code write_at(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        record_.written += static_cast<std::int64_t>(bytes.size());
        for (std::int64_t watched : watched_offsets(length_)) {
            if (watched >= offset && watched < offset + static_cast<std::int64_t>(bytes.size())) {
                record_.kept[watched] = bytes[static_cast<std::size_t>(watched - offset)];
            }
        }
        return {};
    }
    void start_writeback(std::int64_t, std::int64_t) override {}
    std::error_code sync() override { return {}; }
    std::error_code close() override { return {}; }

private:
    std::int64_t length_;
    WriteRecord& record_;
};

// The recovery record, kept in memory.
class MemoryFile : public RandomAccessFile {
public:
    std::error_code status(FileStatus& status) override {
        status.size = static_cast<std::int64_t>(bytes_.size());
        return {};
    }
    std::error_code read_at(std::int64_t offset, std::span<std::uint8_t> bytes,
                            std::size_t& bytes_read) override {
        bytes_read = static_cast<std::size_t>(
            std::clamp<std::int64_t>(static_cast<std::int64_t>(bytes_.size()) - offset, 0,
                                     static_cast<std::int64_t>(bytes.size())));
        std::copy_n(bytes_.begin() + offset, bytes_read, bytes.begin());
        return {};
    }
    std::error_code write_at(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        bytes_.resize(std::max(bytes_.size(), static_cast<std::size_t>(offset) + bytes.size()));
        std::copy(bytes.begin(), bytes.end(), bytes_.begin() + offset);
        return {};
    }
    void start_writeback(std::int64_t, std::int64_t) override {}
    std::error_code sync() override { return {}; }
    std::error_code close() override { return {}; }

private:
    std::vector<std::uint8_t> bytes_;
};

class VirtualFileSystem : public FileSystem {
public:
    explicit VirtualFileSystem(std::int64_t length) : length_(length) {}

    OpenedFile open_for_reading(const std::filesystem::path&) override { return {nullptr, {}}; }
    OpenedFile open_for_update(const std::filesystem::path&) override {
        return {std::make_unique<VirtualFile>(length_, record), {}};
    }
    CreatedFile create_new(const std::filesystem::path&, const FileStatus&) override {
        return {nullptr, {}};
    }
    std::error_code status(const std::filesystem::path&, FileStatus& status) override {
        status.size = length_;
        return {};
    }
    std::error_code remove(const std::filesystem::path&) override { return {}; }
    std::error_code sync_directory(const std::filesystem::path&) override { return {}; }
    std::error_code sync_file_system(const std::filesystem::path&) override { return {}; }
    std::error_code create_directories(const std::filesystem::path&) override { return {}; }
    std::vector<std::filesystem::path> list(const std::filesystem::path&) override { return {}; }
    OpenedFile create_exclusive(const std::filesystem::path&) override {
        return {std::make_unique<MemoryFile>(), {}};
    }

    WriteRecord record;

private:
    std::int64_t length_;
};

} // namespace

class LargeFileTest : public QObject {
    Q_OBJECT

private slots:
    void positionsBeyondTwoGibibytes() {
        const std::int64_t length = two_gib + 25003;
        VirtualFileSystem fs(length);
        EngineState state;
        state.password = "abc";
        state.skip_step = 3;
        std::int64_t yields = 0;
        std::int64_t lastPosition = 0;

        QVERIFY(encrypt_file(state, fs, "huge", [&] {
                    ++yields;
                    lastPosition = state.file_position;
                }).ok());

        QCOMPARE(state.source_length, length);
        QCOMPARE(state.file_position, 1 + (length / 10000) * 10000);
        QCOMPARE(yields, 2 * (length / 10000));
        QCOMPARE(lastPosition, state.file_position);
        QCOMPARE(fs.record.written, length);
        for (std::int64_t offset : watched_offsets(length)) {
            const std::int64_t inBlock = offset % 10000;
            const std::uint8_t expected =
                inBlock % 3 == 0 ? static_cast<std::uint8_t>("abc"[(inBlock / 3) % 3]) : 0;
            QCOMPARE(fs.record.kept.at(offset), expected);
        }
    }
};

QTEST_APPLESS_MAIN(LargeFileTest)
#include "tst_large_file.moc"
