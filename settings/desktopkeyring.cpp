#include "desktopkeyring.h"

#include <qt6keychain/keychain.h>

#include <QDebug>
#include <QEventLoop>
#include <QTimer>

namespace DesktopKeyring {

namespace {

const QString service = QStringLiteral("Tarnwick");

// Starts the job and waits for it. What the answer holds is taken inside the finished signal:
// the job deletes itself once finished (autoDelete), also after the wait gave up, because
// QtKeychain's callbacks refer to it until then.
template<typename Job, typename Take>
Outcome run(Job *job, const QString &name, std::chrono::milliseconds timeout, Take take)
{
    job->setKey(name);
    Outcome outcome = Outcome::Failed;
    bool answered = false;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *) {
        answered = true;
        switch (job->error()) {
        case QKeychain::NoError:
            outcome = Outcome::Done;
            take(job);
            break;
        case QKeychain::EntryNotFound:
            outcome = Outcome::Missing;
            break;
        default:
            qDebug().noquote() << "Sleutelbos:" << job->errorString();
            break;
        }
        loop.quit();
    });
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    job->start();
    if (!answered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!answered)
        qDebug() << "Sleutelbos: geen antwoord binnen" << timeout.count() << "ms";
    return outcome;
}

} // namespace

Answer read(const QString &name, std::chrono::milliseconds timeout)
{
    Answer answer;
    answer.outcome = run(new QKeychain::ReadPasswordJob(service), name, timeout,
                         [&](QKeychain::Job *job) { answer.text = static_cast<QKeychain::ReadPasswordJob *>(job)->textData(); });
    return answer;
}

Outcome write(const QString &name, const QString &text, std::chrono::milliseconds timeout)
{
    if (text.isEmpty()) {
        const Outcome outcome = run(new QKeychain::DeletePasswordJob(service), name, timeout, [](QKeychain::Job *) {});
        return outcome == Outcome::Missing ? Outcome::Done : outcome;
    }
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setTextData(text);
    return run(job, name, timeout, [](QKeychain::Job *) {});
}

} // namespace DesktopKeyring
