#include "debugoutput.h"

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr qsizetype maxKept = 64 * 1024;

QMutex keptLock;
QByteArray kept;
QtMessageHandler qtOutput = nullptr;

void writeKept()
{
    if (kept.isEmpty())
        return;
    std::fwrite(kept.constData(), 1, size_t(kept.size()), stderr);
    std::fflush(stderr);
    kept.truncate(0); // keeps its room
}

void flush()
{
    const QMutexLocker locker(&keptLock);
    writeKept();
}

void output(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg) {
        // In order after the lines kept, and at once.
        flush();
        qtOutput(type, context, message);
        return;
    }
    const QByteArray line = qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
    const QMutexLocker locker(&keptLock);
    kept += line;
    if (kept.size() >= maxKept)
        writeKept();
}

} // namespace

void DebugOutput::install()
{
    if (qtOutput)
        return;
    kept.reserve(maxKept + 4096);
    qtOutput = qInstallMessageHandler(output);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     QCoreApplication::instance(), flush, Qt::DirectConnection);
    std::atexit(flush);
}
