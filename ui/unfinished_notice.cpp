#include "ui/unfinished_notice.h"

#include "engine/recovery_journal.h"
#include "ui/message_box.h"
#include "ui/native_path.h"

namespace ferrocase {

void tell_unfinished_encryptions(QWidget* parent, FileSystem& fs,
                                 const std::filesystem::path& journal_folder) {
    RecoveryJournal journal(fs, journal_folder);
    journal.load_unfinished();
    if (journal.unfinished().empty()) {
        return;
    }
    QString text = QStringLiteral(
        "An earlier run was stopped part-way through encrypting these files. To finish, "
        "encrypt them again with the same password and byte-skipping level:");
    for (const auto& file : journal.unfinished()) {
        text += QLatin1Char('\n') + from_native_path(file.path);
    }
    show_message(parent, text, MessageIcon::exclamation);
}

} // namespace ferrocase
