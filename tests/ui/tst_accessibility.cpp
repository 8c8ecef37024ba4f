#include "shell/file_type_registry.h"
#include "ui/chooser_directory_list.h"
#include "ui/chooser_drive_list.h"
#include "ui/chooser_file_list.h"
#include "ui/frmdirtree.h"
#include "ui/mainscreen.h"
#include "ui/percent_bar.h"

#include <QAccessible>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace ferrocase;

// What a screen reader learns of each control, asked the way it asks.
class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void every_control_has_a_name_and_role_data();
    void every_control_has_a_name_and_role();
    void progress_bars_report_percent();

private:
    QObject* control(const QString& name) const;

    AppState state_;
    InMemoryFileTypeRegistry registry_;
    std::unique_ptr<Mainscreen> window_;
    frmdirtree* chooser_ = nullptr;
};

void AccessibilityTest::initTestCase() {
    QDir::setCurrent(QDir::rootPath());
    window_ = std::make_unique<Mainscreen>(state_, registry_, std::string());
    chooser_ = new frmdirtree(state_, nullptr);
}

void AccessibilityTest::cleanupTestCase() {
    delete chooser_;
    window_.reset();
}

// "chooser" and "chooser.Drive1" are the folder chooser and its controls; the rest the main
// window's.
QObject* AccessibilityTest::control(const QString& name) const {
    const QMap<QString, QObject*> chooser_parts{{"chooser", chooser_},
                                                {"chooser.Drive1", chooser_->Drive1},
                                                {"chooser.Dir1", chooser_->Dir1},
                                                {"chooser.File1", chooser_->File1},
                                                {"chooser.Command1", chooser_->Command1},
                                                {"chooser.Command2", chooser_->Command2}};
    return chooser_parts.value(name, window_->findChild<QObject*>(name));
}

void AccessibilityTest::every_control_has_a_name_and_role_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("described");
    const auto row = [](const char* control, QAccessible::Role role, const char* name,
                        bool described = false) {
        QTest::addRow("%s", control) << control << role << name << described;
    };
    row("Command1", QAccessible::Button, "Browse and Select Files for Processing");
    row("Label1", QAccessible::StaticText, "Password:");
    row("Text1", QAccessible::EditableText, "Password:");
    row("Label2", QAccessible::StaticText, "Verify Password:");
    row("Text2", QAccessible::EditableText, "Verify Password:");
    row("Label4", QAccessible::StaticText,
        "Byte Skipping - Improves Encryption Speed but Lowers Protection");
    row("Slider1", QAccessible::Slider,
        "Byte Skipping - Improves Encryption Speed but Lowers Protection", true);
    row("Check2", QAccessible::CheckBox, "Allow Multiple Encryption");
    row("Check1", QAccessible::CheckBox, "Delete Original files after processing");
    row("Command2", QAccessible::Button, "Encrypt/Decrypt File(s)");
    row("ProgressBar1", QAccessible::ProgressBar, "File progress", true);
    row("ProgressBar2", QAccessible::ProgressBar, "Queue progress", true);
    row("chooser", QAccessible::Dialog, "Locate File");
    // On Linux Qt names a drop-down list by its current value, here the chosen drive.
    row("chooser.Drive1", QAccessible::ComboBox, "/", true);
    row("chooser.Dir1", QAccessible::Tree, "Folders", true);
    row("chooser.File1", QAccessible::List, "Files");
    row("chooser.Command1", QAccessible::Button, "OK", true);
    row("chooser.Command2", QAccessible::Button, "Cancel", true);
}

void AccessibilityTest::every_control_has_a_name_and_role() {
    QFETCH(QString, control);
    QFETCH(QAccessible::Role, role);
    QFETCH(QString, name);
    QFETCH(bool, described);
    QObject* object = this->control(control);
    QVERIFY(object);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), role);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QCOMPARE(accessible->text(QAccessible::Description).isEmpty(), !described);
}

void AccessibilityTest::progress_bars_report_percent() {
    auto* bar = window_->findChild<PercentBar*>("ProgressBar1");
    QVERIFY(bar->set_percent(37.4F));
    QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(bar)->valueInterface();
    QVERIFY(value);
    QCOMPARE(value->currentValue().toInt(), 37);
    QCOMPARE(value->minimumValue().toInt(), 0);
    QCOMPARE(value->maximumValue().toInt(), 100);
}

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
