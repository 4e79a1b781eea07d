#include "desktopkeyring.h"

#include <qt6keychain/keychain.h>

#include <QDebug>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace DesktopKeyring {

namespace {

const QString service = QStringLiteral("Tarnwick");

// Starts the job and waits for it; `takeAnswer` runs when it is done. The job deletes itself
// once finished (autoDelete), also after the wait gave up, because QtKeychain's callbacks refer
// to it until then: what it holds is taken inside the finished signal.
Outcome run(QKeychain::Job *job, const QString &name, std::chrono::milliseconds timeout,
            const std::function<void()> &takeAnswer = {})
{
    job->setKey(name);
    Outcome outcome = Outcome::Failed;
    bool answered = false;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        answered = true;
        switch (job->error()) {
        case QKeychain::NoError:
            outcome = Outcome::Done;
            if (takeAnswer)
                takeAnswer();
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
    auto *job = new QKeychain::ReadPasswordJob(service);
    answer.outcome = run(job, name, timeout, [&] { answer.text = job->textData(); });
    return answer;
}

Outcome write(const QString &name, const QString &text, std::chrono::milliseconds timeout)
{
    if (text.isEmpty()) {
        const Outcome outcome = run(new QKeychain::DeletePasswordJob(service), name, timeout);
        return outcome == Outcome::Missing ? Outcome::Done : outcome;
    }
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setTextData(text);
    return run(job, name, timeout);
}

} // namespace DesktopKeyring
