#include "cli/forget_files.h"

#include "cli/shown_name.h"
#include "durable_run/recovery_journal.h"

namespace ferrocase::cli {

int forget_files(const std::vector<std::string>& files, FileSystem& fs,
                 const std::filesystem::path& journal_folder, std::ostream& out,
                 std::ostream& err) {
    RecoveryJournal journal(fs, journal_folder);
    journal.load_unfinished();
    int status = 0;
    for (const std::string& file : files) {
        std::error_code error;
        const bool recorded = journal.forget_file(file, error);
        if (!recorded || error) {
            err << "ferrocase-cli: " << shown_name(file)
                << (error ? ": could not change its recovery record: " + error.message()
                          : ": no interrupted encryption of it is recorded")
                << std::endl;
            status = 1;
            continue;
        }
        out << "forgotten  " << shown_name(file) << ": the next run encrypts it as it is now"
            << std::endl;
    }
    return status;
}

} // namespace ferrocase::cli
