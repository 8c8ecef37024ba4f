#include "ui/unfinished_notice.h"

#include "durable_run/recovery_journal.h"
#include "ui/message_box.h"
#include "ui/native_path.h"

namespace ferrocase {
namespace {

QString with_names(QString text, const std::vector<std::filesystem::path>& files) {
    for (const auto& file : files) {
        text += QLatin1Char('\n') + from_native_path(file);
    }
    return text;
}

} // namespace

std::vector<std::filesystem::path>
tell_unfinished_encryptions(QWidget* parent, FileSystem& fs,
                            const std::filesystem::path& journal_folder) {
    RecoveryJournal journal(fs, journal_folder);
    journal.load_unfinished();
    if (!journal.removed_leftovers().empty()) {
        show_message(parent,
                     with_names(QStringLiteral("Temporary files that an interrupted run had left "
                                               "were removed:"),
                                journal.removed_leftovers()),
                     MessageIcon::information);
    }
    std::vector<std::filesystem::path> part_way;
    for (const auto& file : journal.unfinished()) {
        part_way.push_back(file.path);
    }
    if (!part_way.empty()) {
        show_message(parent,
                     with_names(QStringLiteral("An earlier run was stopped part-way through "
                                               "encrypting these files. To finish, encrypt them "
                                               "again with the same password and byte-skipping "
                                               "level:"),
                                part_way),
                     MessageIcon::exclamation);
    }
    const auto remaining = journal.remaining();
    if (remaining.empty()) {
        return {};
    }
    // Asked once: the list goes whatever the answer.
    journal.drop_earlier_plans();
    const bool queue = ask_question(
        parent, QStringLiteral("An earlier run was stopped before it had processed every file. "
                               "Queue its %1 remaining files again?")
                    .arg(remaining.size()));
    return queue ? remaining : std::vector<std::filesystem::path>{};
}

} // namespace ferrocase
