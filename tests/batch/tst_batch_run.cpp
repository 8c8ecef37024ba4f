#include "batch/batch_run.h"
#include "durable_run/durable_run.h"
#include "strong/strong_file.h"
#include "tests/batch/fake_batch_window.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/stored_format.h"

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

namespace {

const std::string idle_title = "Ferrocase idle";
const std::u32string password = U"Ferro-p\u00e4ssword";
const std::string password_bytes = "Ferro-p\xe4ssword"; // the same in Windows-1252
const QString finished = QStringLiteral("message 48 Finished !");

} // namespace

class BatchRunTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void refusals_data();
    void refusals();
    void mixed_queue_data();
    void mixed_queue();
    void multiple_encryption_switched_on_mid_run();
    void decrypted_sources_are_removed_when_asked();
    void failed_files_are_reported_before_finished();
    void failed_removal_is_reported();
    void failed_decryption_keeps_its_source();
    void second_run_is_refused_while_one_runs();
    void quit_finishes_the_current_file_and_starts_no_other();
    void quit_still_reports_a_failed_file();
    void a_record_in_memory_is_told_once();
    void an_encryption_that_cannot_be_finished_can_be_given_up();
    void strong_files_data();
    void strong_files();

private:
    fs::path make(const std::string& name, const Bytes& bytes);
    fs::path make_strong(const std::string& name, const Bytes& plain, const std::string& utf8);
    void queue(const std::vector<fs::path>& files);
    void ready(FakeBatchWindow& window) const;
    fs::path journal() const { return fs::path(dir_->path().toStdString()) / "state"; }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<AppState> state_;
};

void BatchRunTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    state_ = std::make_unique<AppState>();
    state_->window_title = idle_title;
    state_->strong.kdf = {.iterations = 1, .memory_kib = 8};
    state_->strong.chunk_size = 16;
}

fs::path BatchRunTest::make(const std::string& name, const Bytes& bytes) {
    const fs::path path = fs::path(dir_->path().toStdString()) / name;
    write_file(path, bytes);
    return path;
}

fs::path BatchRunTest::make_strong(const std::string& name, const Bytes& plain,
                                   const std::string& utf8) {
    const auto plain_file = make(name + ".plain", plain);
    const fs::path path = fs::path(dir_->path().toStdString()) / name;
    EngineState state;
    const auto result = encrypt_strong_file(state, local_file_system(), plain_file, path, utf8,
                                            new_header(state_->strong.kdf, 16), [] {});
    fs::remove(plain_file);
    return result.ok() ? path : fs::path();
}

void BatchRunTest::queue(const std::vector<fs::path>& files) {
    state_->file_count = 0;
    for (const auto& file : files) {
        state_->file_queue.row(++state_->file_count).source = file;
    }
}

void BatchRunTest::ready(FakeBatchWindow& window) const {
    window.text1 = password;
    window.text2 = password;
}

void BatchRunTest::refusals_data() {
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("strong");

    const QString differ = QStringLiteral("Unable to Process. Password Box and Password "
                                          "Verification Box hold different information.");
    const QString unusable = QStringLiteral(
        "Unable to Process. Character 2 of the Password cannot be used: a password may hold only "
        "characters of the Western European (Windows-1252) character set.");
    QTest::addRow("passwords that differ only in letter case") << "Secret"
                                                               << "secret" << 1 << differ << 0;
    QTest::addRow("different passwords and an empty queue") << "a"
                                                            << "b" << 0 << differ << 0;
    QTest::addRow("both boxes empty and an empty queue")
        << ""
        << "" << 0 << "Unable to Process. No Password provided." << 0;
    QTest::addRow("equal passwords and an empty queue")
        << "pw"
        << "pw" << 0 << "Unable to Process. No files have been selected !" << 0;
    QTest::addRow("a character outside Windows-1252") << "p\u0101ss"
                                                      << "p\u0101ss" << 1 << unusable << 0;
    QTest::addRow("an unusable password is refused before an empty queue")
        << "p\u0101ss"
        << "p\u0101ss" << 0 << unusable << 0;
    QTest::addRow("both boxes empty for strong encryption")
        << ""
        << "" << 1 << "Unable to Process. No Password provided. An empty password protects nothing."
        << 1;
    QTest::addRow("a pasted tab, as the command line refuses it")
        << "pa\tss"
        << "pa\tss" << 1
        << "Unable to Process. Character 3 of the Password is a control character (such as a "
           "tab), which a password may not hold."
        << 1;
}

void BatchRunTest::refusals() {
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(int, files);
    QFETCH(QString, message);
    QFETCH(int, strong);

    const Bytes plain = random_bytes(100, 1);
    const auto file = make("a.txt", plain);
    queue({file});
    state_->file_count = files;
    state_->password = "earlier";
    state_->skip_step = 3;

    FakeBatchWindow window;
    window.text1 = text1.toStdU32String();
    window.text2 = text2.toStdU32String();
    window.check1 = 1;
    window.slider1 = 4;
    window.strong = strong;
    QCOMPARE(run_batch(*state_, window, local_file_system(), journal()), RunOutcome::refused);

    QCOMPARE(window.log, QStringList{QStringLiteral("message 16 ") + message});
    QCOMPARE(state_->file_count, files);
    QCOMPARE(state_->password, std::string("earlier"));
    QCOMPARE(state_->skip_step, 3);
    QCOMPARE(state_->delete_originals, 0);
    QVERIFY(!state_->run_in_progress);
    QCOMPARE(state_->file_queue.row(1).source, file);
    QVERIFY(read_file(file) == plain);
}

void BatchRunTest::mixed_queue_data() {
    QTest::addColumn<int>("slider");
    QTest::addRow("slider at 0: every byte") << 0;
    QTest::addRow("slider at 4: every fifth byte") << 4;
}

void BatchRunTest::mixed_queue() {
    QFETCH(int, slider);
    const int step = slider + 1;
    const Bytes a = random_bytes(25000, 1);
    const Bytes b = random_bytes(10000, 2);
    const Bytes c = random_bytes(9999, 3);
    const Bytes d = random_bytes(0, 4);
    queue({make("a.txt", a), make("b.fxe", protect(b, password_bytes, step)),
           make("C.FXE", protect(c, password_bytes, step)), make("d.fxe.txt", d)});

    FakeBatchWindow window;
    ready(window);
    window.slider1 = slider;
    QCOMPARE(run_batch(*state_, window, local_file_system(), journal()), RunOutcome::finished);

    const fs::path folder = dir_->path().toStdString();
    QVERIFY(read_file(folder / "a.txt") == protect(a, password_bytes, step));
    QVERIFY(read_file(folder / "b") == b);
    QVERIFY(read_file(folder / "C") == c);
    QVERIFY(fs::exists(folder / "b.fxe"));
    QVERIFY(read_file(folder / "d.fxe.txt") == d);
    QCOMPARE(state_->skip_step, step);
    QCOMPARE(state_->password, password_bytes);

    // Encrypted files lock the form first; decrypted ones only show the busy pointer.
    QStringList steps;
    for (const QString& entry : window.log) {
        if (entry.startsWith("title") || entry == "disable_form" || entry.startsWith("pointer")) {
            steps << entry;
        }
    }
    const QStringList expected_steps{
        "title File Queue:3", "disable_form",       "pointer busy",         "title File Queue:2",
        "pointer busy",       "title File Queue:1", "pointer busy",         "title File Queue:0",
        "disable_form",       "pointer busy",       "title Ferrocase idle", "pointer default"};
    QCOMPARE(steps, expected_steps);

    const QStringList expected_end{
        "timer off",     "bar1 0",          "bar2 0", "title Ferrocase idle",
        "enable window", "pointer default", finished, "enable_form"};
    QCOMPARE(window.log.mid(window.log.size() - expected_end.size()), expected_end);
    QCOMPARE(window.log.first(), QStringLiteral("timer on"));
    QCOMPARE(window.entries("message"), QStringList{finished});

    QCOMPARE(state_->file_count, 0);
    for (std::int32_t row = 1; row <= 4; ++row) {
        QVERIFY(state_->file_queue.row(row).source.empty());
        QVERIFY(state_->file_queue.row(row).destination.empty());
    }
    QVERIFY(!state_->run_in_progress);
}

void BatchRunTest::multiple_encryption_switched_on_mid_run() {
    const Bytes x = random_bytes(15000, 5);
    const Bytes y = random_bytes(15000, 6);
    queue({make("x.fxe", protect(x, password_bytes, 1)),
           make("y.fxe", protect(y, password_bytes, 1))});

    FakeBatchWindow window;
    ready(window);
    window.on_block_yield = [&] { window.check2 = 1; };
    QCOMPARE(run_batch(*state_, window, local_file_system(), journal()), RunOutcome::finished);

    const fs::path folder = dir_->path().toStdString();
    QVERIFY(read_file(folder / "x") == x);
    // Encrypting the encrypted file once more in place restores it, and writes no "y".
    QVERIFY(!fs::exists(folder / "y"));
    QVERIFY(read_file(folder / "y.fxe") == y);
    QCOMPARE(window.entries("disable_form").size(), 1);
}

void BatchRunTest::decrypted_sources_are_removed_when_asked() {
    const Bytes r = random_bytes(12000, 7);
    const Bytes s = random_bytes(300, 8);
    const auto source = make("r.fxe", protect(r, password_bytes, 1));
    fs::permissions(source, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto encrypted = make("s.txt", s);
    queue({source, encrypted});

    FakeBatchWindow window;
    ready(window);
    window.check1 = 1;
    QCOMPARE(run_batch(*state_, window, local_file_system(), journal()), RunOutcome::finished);

    QCOMPARE(window.removed, std::vector<fs::path>{source});
    QVERIFY(!fs::exists(source));
    QVERIFY(read_file(dir_->path().toStdString() + "/r") == r);
    QVERIFY(read_file(encrypted) == protect(s, password_bytes, 1));
    QCOMPARE(state_->delete_originals, 1);
    QCOMPARE(window.entries("message"), QStringList{finished});
}

// A record on tmpfs does not survive a power cut: the user hears of it once per session.
void BatchRunTest::a_record_in_memory_is_told_once() {
    QTemporaryDir in_memory("/dev/shm/ferrocase-test-XXXXXX");
    if (!in_memory.isValid()) {
        QSKIP("no /dev/shm here");
    }
    for (const auto* name : {"m1", "m2"}) {
        queue({make(name, random_bytes(100, 9))});
        FakeBatchWindow window;
        ready(window);
        QCOMPARE(run_batch(*state_, window, local_file_system(), in_memory.path().toStdString()),
                 RunOutcome::finished);
        const QStringList messages = window.entries("message");
        QCOMPARE(messages.size(), name == std::string("m1") ? 2 : 1);
        QVERIFY(messages.size() == 1 || messages[0].contains("a power cut empties"));
    }
}

// Interrupted with another password: refused, until the user gives that encryption up.
void BatchRunTest::an_encryption_that_cannot_be_finished_can_be_given_up() {
    const auto file = make("part", random_bytes(700001, 10));
    {
        FaultyFileSystem failing;
        failing.fail_from(Operation::write, 2);
        DurableRun run(failing, journal(), {.window_bytes = 320000});
        EngineState other;
        other.password = "another";
        run.encrypt(other, file, 1, [] {});
    }
    const Bytes part_way = read_file(file);
    for (const bool give_up : {false, true}) {
        queue({file});
        FakeBatchWindow window;
        ready(window);
        window.question_answer = give_up;
        QCOMPARE(run_batch(*state_, window, local_file_system(), journal()), RunOutcome::finished);
        QCOMPARE(window.entries("question").size(), 1);
        QVERIFY(read_file(file) == part_way);
    }
    queue({file});
    FakeBatchWindow window;
    ready(window);
    QCOMPARE(run_batch(*state_, window, local_file_system(), journal()), RunOutcome::finished);
    QVERIFY(read_file(file) == protect(part_way, password_bytes, 1));
}

void BatchRunTest::failed_files_are_reported_before_finished() {
    const Bytes bad = random_bytes(20000, 9);
    const Bytes good = random_bytes(20000, 10);
    const auto bad_file = make("bad.txt", bad);
    const auto good_file = make("good.txt", good);
    queue({bad_file, good_file});

    FaultyFileSystem faulty;
    faulty.fail(Operation::read, 1);
    FakeBatchWindow window;
    ready(window);
    QCOMPARE(run_batch(*state_, window, faulty, journal()), RunOutcome::finished);
    QVERIFY(faulty.fault_fired());

    const QStringList messages = window.entries("message");
    QCOMPARE(messages.size(), 2);
    QVERIFY2(messages[0].startsWith("message 16 One file could not be processed:\n"),
             qPrintable(messages[0]));
    QVERIFY2(messages[0].contains("bad.txt") && !messages[0].contains("good.txt"),
             qPrintable(messages[0]));
    QCOMPARE(messages[1], finished);
    QCOMPARE(window.log.indexOf(messages[0]) + 1, window.log.indexOf(finished));
    QVERIFY(read_file(bad_file) == bad);
    QVERIFY(read_file(good_file) == protect(good, password_bytes, 1));
}

void BatchRunTest::failed_removal_is_reported() {
    const auto source = make("t.fxe", random_bytes(50, 11));
    queue({source});

    FakeBatchWindow window;
    ready(window);
    window.check1 = 1;
    window.removal_error = std::make_error_code(std::errc::io_error);
    QCOMPARE(run_batch(*state_, window, local_file_system(), journal()), RunOutcome::finished);

    const QStringList messages = window.entries("message");
    QCOMPARE(messages.size(), 2);
    QVERIFY2(messages[0].contains("t.fxe: kept: could not be moved to the trash"),
             qPrintable(messages[0]));
    QCOMPARE(messages[1], finished);
}

void BatchRunTest::failed_decryption_keeps_its_source() {
    const Bytes protected_bytes = protect(random_bytes(30000, 12), password_bytes, 1);
    const auto source = make("q.fxe", protected_bytes);
    queue({source});

    FaultyFileSystem faulty;
    faulty.fail(Operation::write, 1);
    FakeBatchWindow window;
    ready(window);
    window.check1 = 1;
    QCOMPARE(run_batch(*state_, window, faulty, journal()), RunOutcome::finished);
    QVERIFY(faulty.fault_fired());

    QVERIFY(window.removed.empty());
    QVERIFY(read_file(source) == protected_bytes);
    QCOMPARE(window.entries("message 16").size(), 1);
}

void BatchRunTest::second_run_is_refused_while_one_runs() {
    const Bytes plain = random_bytes(25000, 13);
    const auto file = make("once.txt", plain);
    queue({file});

    FakeBatchWindow window;
    ready(window);
    std::vector<RunOutcome> nested;
    window.on_block_yield = [&] {
        nested.push_back(run_batch(*state_, window, local_file_system(), journal()));
    };
    QCOMPARE(run_batch(*state_, window, local_file_system(), journal()), RunOutcome::finished);

    QVERIFY(!nested.empty());
    for (const RunOutcome outcome : nested) {
        QCOMPARE(outcome, RunOutcome::already_running);
    }
    QCOMPARE(window.entries("timer on").size(), 1);
    QCOMPARE(window.entries("message"), QStringList{finished});
    QVERIFY(read_file(file) == protect(plain, password_bytes, 1));
}

void BatchRunTest::quit_finishes_the_current_file_and_starts_no_other() {
    const Bytes first = random_bytes(45000, 14);
    const Bytes second = random_bytes(45000, 15);
    const auto first_file = make("first.txt", first);
    const auto second_file = make("second.txt", second);
    queue({first_file, second_file});

    FakeBatchWindow window;
    ready(window);
    window.on_block_yield = [&] { window.quit = true; };
    QCOMPARE(run_batch(*state_, window, local_file_system(), journal()),
             RunOutcome::stopped_to_quit);

    QVERIFY(read_file(first_file) == protect(first, password_bytes, 1));
    QVERIFY(read_file(second_file) == second);
    QVERIFY(window.entries("message").isEmpty());
    QCOMPARE(window.entries("title File Queue"), QStringList{"title File Queue:1"});
    QCOMPARE(state_->file_count, 0);
    QVERIFY(!state_->run_in_progress);
    QCOMPARE(window.log.last(), QStringLiteral("enable_form"));
}

void BatchRunTest::quit_still_reports_a_failed_file() {
    const Bytes plain = random_bytes(25000, 16);
    const auto failing = make("failing.txt", plain);
    const auto untouched = make("untouched.txt", plain);
    queue({failing, untouched});

    FakeBatchWindow window;
    ready(window);
    FaultyFileSystem faulty;
    faulty.fail(Operation::read, 1);
    faulty.on_open = [&](const fs::path&) { window.quit = true; };
    QCOMPARE(run_batch(*state_, window, faulty, journal()), RunOutcome::stopped_to_quit);

    const QStringList messages = window.entries("message");
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].startsWith("message 16 One file could not be processed:\n") &&
                 messages[0].contains("failing.txt"),
             qPrintable(messages[0]));
    QVERIFY(read_file(failing) == plain);
    QVERIFY(read_file(untouched) == plain);
}

// ".fxs" files are decrypted whatever the option; with it on, files that are neither ".fxe" nor
// ".fxs" become name.fxs. Deleting originals unlinks a plain original for good and trashes the
// source of a decryption.
void BatchRunTest::strong_files_data() {
    QTest::addColumn<int>("strong");
    QTest::addColumn<int>("delete_originals");
    QTest::addColumn<QString>("typed"); // the password typed for the run
    QTest::addColumn<bool>("with_fxe"); // a legacy file in the queue
    QTest::addColumn<bool>("refused");
    const QString legacy_password = QString::fromStdU32String(password);
    QTest::addRow("option on") << 1 << 0 << legacy_password << true << false;
    QTest::addRow("option on, deleting originals") << 1 << 1 << legacy_password << true << false;
    QTest::addRow("option off: only the .fxs files are strong")
        << 0 << 1 << legacy_password << true << false;
    QTest::addRow("a decomposed password matches the composed one")
        << 1 << 1 << QString::fromStdU32String(U"Ferro-pa\u0308ssword") << false << false;
    QTest::addRow("a password beyond Windows-1252 with an .fxe file queued")
        << 1 << 0 << QStringLiteral("Ferro-\u0101") << true << true;
}

void BatchRunTest::strong_files() {
    QFETCH(int, strong);
    QFETCH(int, delete_originals);
    QFETCH(QString, typed);
    QFETCH(bool, with_fxe);
    QFETCH(bool, refused);
    const std::string utf8 = "Ferro-p\xC3\xA4ssword";
    const Bytes a = random_bytes(100, 21);
    const Bytes b = random_bytes(50, 22);
    const Bytes c = random_bytes(70, 23);
    const auto a_file = make("a.txt", a);
    const auto b_file = make_strong("b.FXS", b, utf8);
    const auto c_file = make("c.fxe", protect(c, password_bytes, 1));
    const auto d_file = make_strong("d.fxs", random_bytes(40, 24), "another password");
    queue(with_fxe ? std::vector<fs::path>{a_file, b_file, c_file, d_file}
                   : std::vector<fs::path>{a_file, b_file, d_file});

    FakeBatchWindow window;
    window.text1 = window.text2 = typed.toStdU32String();
    window.strong = strong;
    window.check1 = delete_originals;
    const auto outcome = run_batch(*state_, window, local_file_system());
    const fs::path folder = dir_->path().toStdString();
    if (refused) {
        QCOMPARE(outcome, RunOutcome::refused);
        QCOMPARE(folder_listing(folder),
                 (std::vector<std::string>{"a.txt", "b.FXS", "c.fxe", "d.fxs"}));
        return;
    }
    QCOMPARE(outcome, RunOutcome::finished);
    QVERIFY(state_->strong.password.empty()); // wiped once the run ended

    const bool deleted = delete_originals == 1;
    QCOMPARE(fs::exists(a_file), !(strong && deleted));
    QCOMPARE(fs::exists(folder / "a.txt.fxs"), bool(strong));
    if (strong) {
        EngineState state;
        QVERIFY(decrypt_strong_file(state, local_file_system(), folder / "a.txt.fxs",
                                    folder / "a.check", utf8, [] {})
                    .ok());
        QVERIFY(read_file(folder / "a.check") == a);
    } else {
        QVERIFY(read_file(a_file) == protect(a, password_bytes, 1));
    }
    QVERIFY(read_file(folder / "b") == b);
    QCOMPARE(fs::exists(folder / "c") && read_file(folder / "c") == c, with_fxe);
    QVERIFY(!fs::exists(folder / "d"));
    QVERIFY(fs::exists(d_file));
    const std::vector<fs::path> trashed =
        with_fxe ? std::vector<fs::path>{b_file, c_file} : std::vector<fs::path>{b_file};
    QCOMPARE(window.removed, deleted ? trashed : std::vector<fs::path>());

    const QStringList messages = window.entries("message 16");
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains("d.fxs: wrong password"), qPrintable(messages[0]));
}

QTEST_GUILESS_MAIN(BatchRunTest)
#include "tst_batch_run.moc"
