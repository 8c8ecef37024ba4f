#include "ui/frame_yield.h"
#include "ui/message_box.h"
#include "ui/percent_bar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <limits>

using namespace ferrocase;

class UiPartsTest : public QObject {
    Q_OBJECT

private slots:
    void percent_of_data();
    void percent_of();
    void bar_keeps_fractions_and_refuses_the_out_of_range_data();
    void bar_keeps_fractions_and_refuses_the_out_of_range();
    void frame_yield_lets_events_through_about_once_per_frame();
    void message_box_data();
    void message_box();
    void replace_question_data();
    void replace_question();
};

void UiPartsTest::percent_of_data() {
    QTest::addColumn<qint64>("numerator");
    QTest::addColumn<qint64>("denominator");
    QTest::addColumn<bool>("formed");
    QTest::addColumn<double>("expected");
    QTest::addRow("position 1 of 10000 bytes") << qint64(1) << qint64(10000) << true << 0.01;
    QTest::addRow("position 1 of 15000 bytes") << qint64(1) << qint64(15000) << true << 0.0066667;
    QTest::addRow("past the end") << qint64(20001) << qint64(15000) << true << 133.34;
    QTest::addRow("file 3 of 3") << qint64(3) << qint64(3) << true << 100.0;
    QTest::addRow("beyond 32 bits")
        << qint64(3'000'000'000) << qint64(6'000'000'000) << true << 50.0;
    QTest::addRow("nothing to divide by") << qint64(1) << qint64(0) << false << 0.0;
    QTest::addRow("zero by zero") << qint64(0) << qint64(0) << false << 0.0;
}

void UiPartsTest::percent_of() {
    QFETCH(qint64, numerator);
    QFETCH(qint64, denominator);
    QFETCH(bool, formed);
    QFETCH(double, expected);
    const auto percent = ferrocase::percent_of(numerator, denominator);
    QCOMPARE(percent.has_value(), formed);
    if (formed) {
        QVERIFY2(std::abs(*percent - expected) < 1e-4, qPrintable(QString::number(*percent)));
    }
}

void UiPartsTest::bar_keeps_fractions_and_refuses_the_out_of_range_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addRow("a hundredth") << 0.01F << true;
    QTest::addRow("a fraction of a hundredth") << 0.0066667F << true;
    QTest::addRow("zero") << 0.0F << true;
    QTest::addRow("a hundred") << 100.0F << true;
    QTest::addRow("just over a hundred") << 100.001F << false;
    QTest::addRow("negative") << -0.5F << false;
    QTest::addRow("not a number") << std::numeric_limits<float>::quiet_NaN() << false;
}

void UiPartsTest::bar_keeps_fractions_and_refuses_the_out_of_range() {
    QFETCH(float, value);
    QFETCH(bool, accepted);
    PercentBar bar;
    QVERIFY(bar.set_percent(42.5F));
    QCOMPARE(bar.set_percent(value), accepted);
    QCOMPARE(bar.percent(), accepted ? value : 42.5F);
}

void UiPartsTest::frame_yield_lets_events_through_about_once_per_frame() {
    FrameYield yield;
    int delivered = 0;
    int openings = 0; // calls that let the waiting event through
    QObject receiver;
    QElapsedTimer clock;
    clock.start();
    for (int call = 0; call < 20000; ++call) {
        QMetaObject::invokeMethod(
            &receiver, [&] { ++delivered; }, Qt::QueuedConnection);
        const int before = delivered;
        yield();
        openings += delivered > before ? 1 : 0;
    }
    const qint64 elapsed = clock.elapsed();
    QTest::qSleep(20);
    const int before_frame = delivered;
    yield();
    QVERIFY2(delivered > before_frame, "a call a frame later lets the events through");

    // The first call lets events through, then at most one more per 16 ms that passed.
    QVERIFY(openings >= 1);
    QVERIFY2(openings <= 1 + elapsed / 16 + 1,
             qPrintable(QStringLiteral("%1 openings in %2 ms").arg(openings).arg(elapsed)));
    QCOMPARE(delivered, 20000);
}

void UiPartsTest::message_box_data() {
    QTest::addColumn<MessageIcon>("icon");
    QTest::addColumn<QMessageBox::Icon>("shown");
    QTest::addRow("error, 16") << MessageIcon::error << QMessageBox::Critical;
    QTest::addRow("exclamation, 48") << MessageIcon::exclamation << QMessageBox::Warning;
    QTest::addRow("information, 64") << MessageIcon::information << QMessageBox::Information;
}

void UiPartsTest::message_box() {
    QFETCH(MessageIcon, icon);
    QFETCH(QMessageBox::Icon, shown);

    // Closes the box once it is up, noting what it looked like.
    bool closed = false;
    QString title;
    QString text;
    QMessageBox::Icon box_icon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        title = box->windowTitle();
        text = box->text();
        box_icon = box->icon();
        buttons = box->buttons().size();
        closed = true;
        box->button(QMessageBox::Ok)->click();
    });
    closer.start();
    show_message(nullptr, QStringLiteral("Finished !"), icon);
    closer.stop();

    QVERIFY(closed);
    QCOMPARE(title, QStringLiteral("Ferrocase"));
    QCOMPARE(text, QStringLiteral("Finished !"));
    QCOMPARE(box_icon, shown);
    QCOMPARE(buttons, 1);
}

void UiPartsTest::replace_question_data() {
    QTest::addColumn<QString>("button"); // empty: the Escape key
    QTest::addColumn<ReplaceAnswer>("answer");
    QTest::addRow("Replace") << "&Replace" << ReplaceAnswer::replace;
    QTest::addRow("Skip") << "&Skip" << ReplaceAnswer::skip;
    QTest::addRow("Cancel") << "&Cancel" << ReplaceAnswer::cancel;
    QTest::addRow("Escape") << "" << ReplaceAnswer::cancel;
}

void UiPartsTest::replace_question() {
    QFETCH(QString, button);
    QFETCH(ReplaceAnswer, answer);
    // Answers the box once it is up; a button that is not there leaves it with Escape.
    bool answered = false;
    qsizetype buttons = 0;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || answered) {
            return;
        }
        answered = true;
        buttons = box->buttons().size();
        for (QAbstractButton* shown : box->buttons()) {
            if (!button.isEmpty() && shown->text() == button) {
                shown->click();
                return;
            }
        }
        QTest::keyClick(box, Qt::Key_Escape);
    });
    closer.start();
    const ReplaceAnswer given = ask_to_replace(nullptr, QStringLiteral("a\nb"));
    closer.stop();
    QVERIFY(answered);
    QCOMPARE(buttons, 3);
    QCOMPARE(given, answer);
}

QTEST_MAIN(UiPartsTest)
#include "tst_ui_parts.moc"
