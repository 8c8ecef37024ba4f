#include "ui/folder_listing.h"

#include "durable_run/recovery_journal.h"
#include "folders/folder_walk.h"
#include "ui/message_box.h"
#include "ui/native_path.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <set>

namespace ferrocase {

namespace {

std::vector<std::filesystem::path>
files_in_folders(QWidget* parent, const std::vector<std::filesystem::path>& folders) {
    QStringList names;
    for (const auto& folder : folders) {
        names << QDir::toNativeSeparators(from_native_path(folder));
    }
    const QString shown = names.join(QStringLiteral(", "));

    // Only a listing that takes a while shows the box; events are let through now and then, so
    // that it appears and its Cancel button answers.
    QProgressDialog progress(parent);
    progress.setWindowTitle(QStringLiteral("Ferrocase"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setRange(0, 0);
    QElapsedTimer listing;
    listing.start();
    std::vector<std::filesystem::path> files;
    QStringList failures;
    for (const auto& folder : folders) {
        const std::size_t found_before = files.size();
        const FolderWalk walk =
            walk_folder(folder, default_journal_folder(), [&](std::size_t found) {
                progress.setLabelText(QStringLiteral("Listing the files in %1: %2 found")
                                          .arg(shown)
                                          .arg(found_before + found));
                if (!progress.isVisible() && listing.elapsed() >= 500) {
                    progress.show();
                }
                QCoreApplication::processEvents();
                return !progress.wasCanceled();
            });
        if (walk.cancelled) {
            return {};
        }
        if (walk.error) {
            failures << QStringLiteral("Could not read the folder %1: %2")
                            .arg(QDir::toNativeSeparators(from_native_path(walk.failed_path)),
                                 QString::fromStdString(walk.error.message()));
        }
        files.insert(files.end(), walk.files.begin(), walk.files.end());
    }
    progress.reset();
    if (!failures.isEmpty()) {
        show_message(parent, failures.join(QLatin1Char('\n')), MessageIcon::exclamation);
    }
    if (files.empty() ||
        !ask_question(parent, QStringLiteral("Queue the %1 files in folder %2 and its subfolders?")
                                  .arg(files.size())
                                  .arg(shown))) {
        return {};
    }
    return files;
}

} // namespace

std::vector<std::filesystem::path>
files_with_folder_contents(QWidget* parent, std::vector<std::filesystem::path> files,
                           const std::vector<std::filesystem::path>& folders) {
    if (folders.empty()) {
        return files;
    }
    std::set<std::filesystem::path> seen(files.begin(), files.end());
    for (auto& file : files_in_folders(parent, folders)) {
        if (seen.insert(file).second) {
            files.push_back(std::move(file));
        }
    }
    return files;
}

} // namespace ferrocase
