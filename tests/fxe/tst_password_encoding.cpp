#include "fxe/password_encoding.h"

#include <QTest>
#include <set>

using namespace ferrocase;

class PasswordEncodingTest : public QObject {
    Q_OBJECT

private slots:
    void encodes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addRow("ASCII stays as it is") << "Secret 42!" << QByteArray("Secret 42!");
        QTest::addRow("Latin-1 letters keep their codes")
            << "Zürich é" << QByteArray("Z\xFCrich \xE9");
        QTest::addRow("euro sign is 0x80") << "€" << QByteArray("\x80");
        QTest::addRow("typographic quotes and dashes") << "„x“–" << QByteArray("\x84x\x93\x96");
    }

    void encodes() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const EncodedPassword fromWide = encode_windows1252(text.toStdU32String());
        QVERIFY(fromWide.ok());
        QCOMPARE(QByteArray::fromStdString(fromWide.bytes), bytes);
        const EncodedPassword fromUtf8 = encode_windows1252_from_utf8(text.toStdString());
        QVERIFY(fromUtf8.ok());
        QCOMPARE(QByteArray::fromStdString(fromUtf8.bytes), bytes);
    }

    void refusesWhatHasNoCode_data() {
        QTest::addColumn<QByteArray>("utf8");
        QTest::addColumn<uint>("character");
        QTest::addColumn<int>("index");
        QTest::addRow("Greek letter") << QByteArray("ab\xCE\xB1") << 0x3B1u << 2;
        QTest::addRow("emoji") << QByteArray("\xF0\x9F\x94\x91key") << 0x1F511u << 0;
        QTest::addRow("C1 control that holds the euro's place")
            << QByteArray("\xC2\x80") << 0x80u << 0;
        QTest::addRow("malformed UTF-8") << QByteArray("x\xC3") << 0xFFFDu << 1;
        QTest::addRow("overlong encoding") << QByteArray("\xC0\xAF") << 0xFFFDu << 0;
    }

    void refusesWhatHasNoCode() {
        QFETCH(QByteArray, utf8);
        QFETCH(uint, character);
        QFETCH(int, index);
        const EncodedPassword result = encode_windows1252_from_utf8(utf8.toStdString());
        QVERIFY(!result.ok());
        QCOMPARE(static_cast<uint>(*result.unmappable), character);
        QCOMPARE(static_cast<int>(result.unmappable_index), index);
        QVERIFY(result.bytes.empty());
    }

    void noTwoCharactersShareAByte() {
        std::set<unsigned char> seen;
        int mapped = 0;
        for (char32_t character = 0; character < 0x10000; ++character) {
            const EncodedPassword result = encode_windows1252(std::u32string(1, character));
            if (result.ok()) {
                ++mapped;
                QVERIFY(seen.insert(static_cast<unsigned char>(result.bytes[0])).second);
            }
        }
        QCOMPARE(mapped, 256);
    }
};

QTEST_APPLESS_MAIN(PasswordEncodingTest)
#include "tst_password_encoding.moc"
