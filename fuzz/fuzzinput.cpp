#include "fuzzinput.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <utility>

FuzzInput::FuzzInput(const std::uint8_t *data, std::size_t size)
    : bytes(reinterpret_cast<const char *>(data), qsizetype(size))
{
}

quint8 FuzzInput::byte()
{
    if (bytes.isEmpty())
        return 0;
    const auto value = quint8(bytes.front());
    bytes = bytes.sliced(1);
    return value;
}

QList<qsizetype> FuzzInput::lengths()
{
    QList<qsizetype> result(byte() % 16);
    for (qsizetype &length : result)
        length = byte();
    return result;
}

QByteArrayView FuzzInput::rest()
{
    return std::exchange(bytes, QByteArrayView());
}

QList<QByteArrayView> cut(QByteArrayView bytes, const QList<qsizetype> &lengths)
{
    qsizetype cycle = 0;
    for (const qsizetype length : lengths)
        cycle += length;
    if (cycle == 0)
        return {bytes};
    QList<QByteArrayView> pieces;
    for (qsizetype at = 0, next = 0; at < bytes.size(); next = (next + 1) % lengths.size()) {
        const qsizetype length = qMin(lengths[next], bytes.size() - at);
        pieces.append(bytes.sliced(at, length));
        at += length;
    }
    return pieces;
}

void fuzzFailure(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "==== property violated: %s (%s:%d)\n", condition, file, line);
    std::abort();
}

namespace {

// Diagnostics of the code under test would only slow the fuzzer down; assertions and other
// fatal messages must still be seen.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quietMessages);
    return 0;
}
