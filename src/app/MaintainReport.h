#pragma once

#include "model/maintenance/HistoryMaintenance.h"

#include <QJsonObject>
#include <QList>
#include <QString>

namespace app {

// What `histmaint maintain` writes on standard output: a table for whoever reads the terminal or
// the journal (Chinese captions, counts grouped as the program writes them, columns aligned by
// the width the characters take on a terminal), or JSON whose keys stay as histmaint(1) lists
// them, for scripts. Only formatting: it reads nothing.
class MaintainReport
{
public:
    // One category's purge or dedupe.
    struct Run
    {
        QString action;                                // "purge" or "dedupe"
        const model::Category *category = nullptr;
        model::HistoryMaintenance::PurgePolicy policy; // purge only
        model::HistoryMaintenance::RunResult result;
    };
    // A whole command's runs.
    struct Summary
    {
        QString command;          // "purge", "dedupe" or "policy"
        bool dryRun = false;
        QString runId;
        QList<Run> runs;
        bool interrupted = false;
        bool compacted = false;
        QString compactText;      // what was done to give space back, or why nothing was
        QString error;            // the failure that ended the command, empty when none
    };

    static QString statsTable(const model::HistoryMaintenance::Stats &stats);
    static QJsonObject statsJson(const model::HistoryMaintenance::Stats &stats);
    static QString runTable(const Summary &summary);
    static QJsonObject runJson(const Summary &summary);

    // Rows deleted (or to delete) by one run, over all its tables.
    static long long total(const model::HistoryMaintenance::RunResult &result);
    // The columns a text takes on a terminal: CJK characters two, others one.
    static int displayWidth(const QString &text);
    // The text padded with spaces to width columns (right-aligned when right).
    static QString pad(const QString &text, int width, bool right = false);
    // A table: captions, then rows; columns aligned, those of numbers (right[i]) to the right.
    static QString table(const QStringList &captions, const QList<QStringList> &rows, const QList<bool> &right);
    static QString bytesText(long long bytes);
};

} // namespace app
