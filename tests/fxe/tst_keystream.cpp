#include "fxe/keystream.h"
#include "tests/support/file_helpers.h"

#include <QTest>

using namespace ferrocase;
using ferrocase::testing::Bytes;
using ferrocase::testing::random_bytes;

namespace {

KeystreamState keyed(std::string password, int step) {
    KeystreamState state;
    state.password = std::move(password);
    state.skip_step = static_cast<std::int16_t>(step);
    return state;
}

} // namespace

class KeystreamTest : public QObject {
    Q_OBJECT

private slots:
    void workedExample() {
        KeystreamState state = keyed("\x11\x22\x33", 2);
        Bytes block = {1, 2, 3, 4, 5, 6, 7, 8};
        transform_block(state, block);
        const Bytes expected = {1 ^ 0x11, 2, 3 ^ 0x22, 4, 5 ^ 0x33, 6, 7 ^ 0x11, 8};
        QCOMPARE(block, expected);
        QCOMPARE(state.key_position, 2);
        QCOMPARE(state.block_offset, 9);
        transform_block(state, block);
        QCOMPARE(block, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    }

    void matchesReferenceWalk_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("passwordLength");
        for (int length : {0, 1, 7, 8, 9999, 10000}) {
            for (int step = 1; step <= 5; ++step) {
                for (int passwordLength : {1, 3, 100}) {
                    QTest::addRow("%d bytes, step %d, %d-byte password", length, step,
                                  passwordLength)
                        << length << step << passwordLength;
                }
            }
        }
    }

    void matchesReferenceWalk() {
        QFETCH(int, length);
        QFETCH(int, step);
        QFETCH(int, passwordLength);
        const Bytes key = random_bytes(static_cast<std::size_t>(passwordLength), 7);
        KeystreamState fast = keyed(std::string(key.begin(), key.end()), step);
        KeystreamState reference = fast;
        const Bytes plain = random_bytes(static_cast<std::size_t>(length), 11);
        Bytes fastBlock = plain;
        Bytes referenceBlock = plain;

        transform_block(fast, fastBlock);
        transform_block_reference(reference, referenceBlock);

        QCOMPARE(fastBlock, referenceBlock);
        QCOMPARE(fast.key_position, reference.key_position);
        QCOMPARE(fast.block_offset, reference.block_offset);
        transform_block(fast, fastBlock);
        QCOMPARE(fastBlock, plain);
    }

    void changesOnlyEveryStepthByte_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("changed");
        QTest::addColumn<int>("lastChanged");
        QTest::addRow("full block, step 3 ends on position 10000") << 10000 << 3 << 3334 << 10000;
        QTest::addRow("full block, step 2 ends on position 9999") << 10000 << 2 << 5000 << 9999;
        QTest::addRow("step 1 changes every byte") << 12 << 1 << 12 << 12;
        QTest::addRow("step at least the length changes the first byte only") << 4 << 5 << 1 << 1;
        QTest::addRow("empty block changes nothing") << 0 << 2 << 0 << 0;
    }

    void changesOnlyEveryStepthByte() {
        QFETCH(int, length);
        QFETCH(int, step);
        QFETCH(int, changed);
        QFETCH(int, lastChanged);
        // A 0xFF key changes every byte it touches, so changed positions can be counted.
        KeystreamState state = keyed("\xFF", step);
        Bytes block(static_cast<std::size_t>(length), 0);
        transform_block(state, block);
        int count = 0;
        int last = 0;
        for (int position = 1; position <= length; ++position) {
            if (block[static_cast<std::size_t>(position - 1)] != 0) {
                ++count;
                last = position;
                QCOMPARE((position - 1) % step, 0);
            }
        }
        QCOMPARE(count, changed);
        QCOMPARE(last, lastChanged);
        QCOMPARE(state.key_position, 1);
        QCOMPARE(state.block_offset, 1 + step * changed);
    }

    void keyRestartsWithEveryBlock() {
        KeystreamState state = keyed("abc", 1);
        Bytes first(4, 0);
        transform_block(state, first);
        QCOMPARE(state.key_position, 2); // the first block ended after password byte 1 again
        Bytes second(2, 0);
        transform_block(state, second);
        QCOMPARE(second, (Bytes{'a', 'b'}));
    }

    void byteEqualToItsKeyBecomesZero() {
        KeystreamState state = keyed("K", 1);
        Bytes block = {'K', 0};
        transform_block(state, block);
        QCOMPARE(block, (Bytes{0, 'K'}));
    }

    void longestPasswordWrapsToItsFirstByte() {
        const Bytes key = random_bytes(32766, 3);
        KeystreamState fast = keyed(std::string(key.begin(), key.end()), 1);
        KeystreamState reference = fast;
        Bytes block(32766 + 2, 0);
        Bytes referenceBlock = block;
        transform_block(fast, block);
        transform_block_reference(reference, referenceBlock);
        QCOMPARE(block[32766], key[0]);
        QCOMPARE(block[32767], key[1]);
        QCOMPARE(block, referenceBlock);
        QCOMPARE(fast.key_position, 3);
        QCOMPARE(reference.key_position, 3);
    }

    void emptyPasswordLeavesBytes() {
        KeystreamState state = keyed("", 2);
        const Bytes plain = random_bytes(9, 5);
        Bytes block = plain;
        transform_block(state, block);
        QCOMPARE(block, plain);
        QCOMPARE(state.key_position, 1);
        KeystreamState reference = keyed("", 2);
        transform_block_reference(reference, block);
        QCOMPARE(block, plain);
        QCOMPARE(reference.key_position, 1);
    }
};

QTEST_APPLESS_MAIN(KeystreamTest)
#include "tst_keystream.moc"
