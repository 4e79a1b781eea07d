#pragma once

#include <QCoreApplication>
#include <QString>

#include <optional>

// Where a spot's NZB stands: one state per spot that was handed to a downloader or saved.
// "Open" states are those a downloader may still change; the others are final until the spot
// is handed off again.
struct DownloadState
{
    Q_DECLARE_TR_FUNCTIONS(DownloadState)

public:
    enum class Phase {
        Sent, // accepted by the downloader, not seen in its queue yet
        Queued,
        Downloading, // percent says how far
        PostProcessing,
        Done,
        Failed, // reason says why, in the downloader's words
        Duplicate, // set aside by the downloader as a duplicate
        Removed, // no longer in the downloader's queue or history
        Saved, // written to a file or a watch folder: nothing to follow
    };

    Phase phase = Phase::Sent;
    int percent = 0; // 0 to 100, Downloading only
    QString reason; // Failed only

    bool isOpen() const;
    // Final and worth a desktop notification: Done and Failed.
    bool isAnnounced() const;

    // "Verstuurd", "In wachtrij", "Bezig (45%)", "Nabewerking", "Klaar", "Mislukt: <reason>",
    // "Dubbel", "Verwijderd", "Opgeslagen".
    QString text() const;

    // The phase as the user file stores it, a word that never changes meaning.
    static QString word(Phase phase);
    static std::optional<Phase> phaseOf(const QString &word);

    friend bool operator==(const DownloadState &a, const DownloadState &b)
    {
        return a.phase == b.phase && a.percent == b.percent && a.reason == b.reason;
    }
    friend bool operator!=(const DownloadState &a, const DownloadState &b) { return !(a == b); }
};
