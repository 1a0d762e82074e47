#include "tools/open/Dialogs.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressDialog>
#include <QString>
#include <atomic>
#include <cstdio>
#include <exception>
#include <string_view>
#include <thread>
#include <utility>

#include "tools/open/Errors.h"
#include "tools/open/Open.h"

namespace fs = std::filesystem;

namespace zorv::opensong {
namespace {

constexpr int kProgressSteps = 1000;

// What an outcome other than success shows and says.
struct Outcome {
    int status = kOpened;
    std::string log;  // one line on stderr, after "zorv: "
    QString text;     // the message box's main line; none when empty
    QString reason;   // under it, in plain words
    QString details;  // as the chart maker said it, behind "Show Details"
};

QString quoted(const fs::path& song)
{
    return QString::fromUtf8("“%1”").arg(QString::fromStdString(song.filename().string()));
}

QString sentence(std::string_view text)
{
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s.endsWith('.') ? s : s + '.';
}

// The decoder's reasons in a player's words; others as they are.
QString plainReadReason(const std::string& reason)
{
    const std::pair<std::string_view, const char*> words[] = {
        {"not playable audio",
         "It is not a song Zorv can play. Zorv plays MP3, OGG, FLAC and WAV files; "
         "this file is none of these, or it is damaged."},
        {"no such file", "The file is not there (any more)."},
        {"it is a folder", "It is a folder, not a song."},
        {"not a regular file", "It is not a file a song can be read from."},
        {"the file is empty", "The file is empty."},
        {"its length is unknown", "Its length cannot be told, so the game could not play it."},
        {"the decoder stopped", "It cannot be read to its end: the file may be damaged."},
    };
    for (const auto& [start, plain] : words) {
        if (reason.starts_with(start))
            return QString::fromUtf8(plain);
    }
    return sentence(reason);
}

Outcome describe(const SongError& e)
{
    const std::string song = e.song().string();
    switch (e.kind()) {
    case SongError::Kind::unreadable:
        return {kCannotUse, "cannot use " + song + ": " + e.what(),
                QString("Zorv cannot play %1.").arg(quoted(e.song())), plainReadReason(e.what()),
                QString::fromStdString(song + ": " + e.what())};
    case SongError::Kind::noChart:
        return {kNoChart, "no chart for " + song + ": " + e.what(),
                QString("Zorv cannot make a chart for %1.").arg(quoted(e.song())), sentence(e.what()),
                QString::fromStdString(song)};
    case SongError::Kind::internal: break;
    }
    return {kNoChart, "internal error charting " + song + ": " + e.what(),
            QString("Zorv made a chart for %1 that does not play right, and kept none.").arg(quoted(e.song())),
            "This is a fault of Zorv's; please report it with the details.", QString::fromStdString(e.what())};
}

Outcome describe(std::exception_ptr error, const std::vector<fs::path>& songs)
{
    try {
        std::rethrow_exception(std::move(error));
    } catch (const Cancelled&) {
        return {kCancelled, "cancelled", {}, {}, {}};
    } catch (const SongError& e) {
        return describe(e);
    } catch (const CacheError& e) {
        return {kCannotUse,
                e.what(),
                QString("Zorv cannot keep the charts for %1.").arg(quoted(songs.front())),
                sentence(e.what()),
                {}};
    } catch (const std::exception& e) {
        return {kCannotUse,
                songs.front().string() + ": " + e.what(),
                QString("Zorv cannot open %1.").arg(quoted(songs.front())),
                sentence(e.what()),
                {}};
    }
}

void show(const Outcome& outcome)
{
    std::fprintf(stderr, "zorv: %s; the game was not started\n", outcome.log.c_str());
    if (outcome.text.isEmpty())
        return;
    QMessageBox box(QMessageBox::Warning, "Zorv", outcome.text, QMessageBox::Ok);
    box.setInformativeText(outcome.reason);
    if (!outcome.details.isEmpty())
        box.setDetailedText(outcome.details);
    box.exec();
}

QString making(const fs::path& song) { return QString("Making the charts for %1…").arg(quoted(song)); }

// Runs openSongs on a worker thread while this one keeps the progress
// window; rethrows what the worker threw. The window is gone on return: left
// hidden, its timer would show it over the message box that follows.
fs::path openBehindProgress(const std::vector<fs::path>& songs, const fs::path& cache, const std::string& salt)
{
    QProgressDialog dialog(making(songs.front()), "Cancel", 0, kProgressSteps);
    dialog.setWindowTitle("Zorv");
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    // Shows the window once this long has passed with the work not done:
    // the duration counts from the first value set.
    dialog.setMinimumDuration(kShowProgressAfterMs);
    dialog.setValue(0);
    std::atomic<bool> cancelled{false};
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] { cancelled = true; });

    QEventLoop loop;
    fs::path folder;
    std::exception_ptr error;
    std::thread worker([&] {
        const auto progress = [&dialog](double done, const fs::path& song) {
            QMetaObject::invokeMethod(
                &dialog,
                [&dialog, step = static_cast<int>(done * kProgressSteps), label = making(song)] {
                    dialog.setLabelText(label);
                    dialog.setValue(step);
                },
                Qt::QueuedConnection);
        };
        try {
            folder = openSongs(
                songs, cache, salt, [&] { return cancelled.load(); }, progress);
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (error)
        std::rethrow_exception(error);
    return folder;
}

}  // namespace

int refuse(int status, const std::string& log, const std::string& text, const std::string& reason)
{
    show({status, log + ": " + reason, sentence(text), sentence(reason), {}});
    return status;
}

int openWithWindows(const std::vector<fs::path>& songs, const fs::path& cache, const std::string& salt)
{
    fs::path folder;
    try {
        folder = openBehindProgress(songs, cache, salt);
    } catch (...) {
        const Outcome outcome = describe(std::current_exception(), songs);
        show(outcome);
        return outcome.status;
    }
    std::printf("%s\n", folder.c_str());
    return std::fflush(stdout) == 0 ? kOpened : kCannotUse;
}

}  // namespace zorv::opensong
