#pragma once

#include <QString>

#include <chrono>

// The desktop's secret store (the Secret Service of GNOME and KDE, or KWallet) through
// QtKeychain, whose jobs answer asynchronously. Each call here starts one job and waits for
// its answer in a local event loop that takes no user input, at most `timeout`. A job that
// has not answered by then goes on by itself and is never looked at again. Entries belong to
// the service "Tarnwick" and are named by the caller.
namespace DesktopKeyring {

enum class Outcome {
    Done, // read: the entry exists and its text came back; write: stored or removed
    Missing, // read: no such entry
    Failed, // no store, locked and not unlocked, an error, or no answer in time
};

struct Answer
{
    Outcome outcome = Outcome::Failed;
    QString text; // read and Done only
};

Answer read(const QString &name, std::chrono::milliseconds timeout);
// An empty text removes the entry, which then reads as Missing.
Outcome write(const QString &name, const QString &text, std::chrono::milliseconds timeout);

} // namespace DesktopKeyring
