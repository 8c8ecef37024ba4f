#include "file_system/engine_error.h"
#include "tests/strong/strong_test_files.h"

#include <QTemporaryDir>
#include <QTest>
#include <random>

using namespace ferrocase;
using namespace ferrocase::testing;

// A bounded random-input loop over the header and chunk reader, for files of both versions:
// every input either decrypts to the original (when the mutation changed nothing) or is refused
// with nothing left behind.
class StrongFuzzTest : public QObject {
    Q_OBJECT

private slots:
    void randomInputsAreRefusedCleanly() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const std::filesystem::path path(folder.path().toStdString());
        const Bytes plain = random_bytes(100, 11);
        std::array<Bytes, 2> files;
        for (const std::uint8_t version : {first_version, current_version}) {
            StrongHeader header = new_header(quick_kdf, 16);
            header.version = version;
            files[version - 1] = strong_encrypted(path, plain, header);
        }

        std::mt19937 random(2026);
        const auto below = [&](std::size_t bound) {
            return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
        };
        int decrypted_runs = 0;
        for (int round = 0; round < 2000; ++round) {
            const Bytes& stored = files[std::size_t(round % 2)];
            const std::size_t stored_header = stored_header_size(stored[4]);
            Bytes input = stored;
            switch (below(4)) {
            case 0: // a few bytes set anywhere, the header most often
                for (std::size_t count = 1 + below(4); count > 0; --count) {
                    const std::size_t at =
                        below(2) == 0 ? below(stored_header) : below(input.size());
                    input[at] = std::uint8_t(below(256));
                }
                break;
            case 1: // cut or extended
                input.resize(below(input.size() + 64), std::uint8_t(below(256)));
                break;
            case 2: // pure noise
                input = random_bytes(below(300), std::uint32_t(round));
                break;
            default: // a valid-looking header over noise
                input = random_bytes(below(300), std::uint32_t(round));
                input.resize(std::max(input.size(), stored_header));
                std::copy(stored.begin(), stored.begin() + std::ptrdiff_t(stored_header),
                          input.begin());
                break;
            }

            const auto header = decode_header(input).header;
            if (header) {
                const auto again = encode_header(*header);
                QVERIFY(std::equal(again.begin(), again.end(), input.begin()));
                // A header may ask for gigabytes of hashing; the loop stays cheap.
                if (std::uint64_t{header->kdf.memory_kib} * header->kdf.iterations > 64 * 1024) {
                    continue;
                }
            }
            ++decrypted_runs;
            const auto decrypted = strong_decrypted(path, input);
            if (input == stored) {
                QVERIFY(decrypted.plain == plain);
                continue;
            }
            QVERIFY2(decrypted.result.failed_step == FileStep::read,
                     qPrintable(QString("round %1: %2")
                                    .arg(round)
                                    .arg(QString::fromStdString(decrypted.result.describe()))));
            QCOMPARE(decrypted.listing, std::vector<std::string>{"secret.fxs"});
        }
        QVERIFY(decrypted_runs > 1000);
    }
};

QTEST_APPLESS_MAIN(StrongFuzzTest)
#include "tst_strong_fuzz.moc"
