// The debug output kept and written in blocks: nothing is written while the program works,
// everything in order once its event loop is about to wait, and at once past 64 KB.
#include "debugoutput.h"
#include "testmain.h"

#include <QEventLoop>
#include <QFile>
#include <QTemporaryFile>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

class TestDebugOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // stderr into a file of the test's own; QtTest's report goes to stdout.
        QVERIFY(output.open());
        std::fflush(stderr);
        QVERIFY(dup2(output.handle(), STDERR_FILENO) >= 0);
        DebugOutput::install();
    }

    void keptUntilTheLoopWaits()
    {
        qDebug("een");
        qDebug() << "S:" << QByteArray("HEAD <a@b>");
        QCOMPARE(written(), QByteArray());
        waitForTheLoop();
        QCOMPARE(written(), QByteArray("een\nS: \"HEAD <a@b>\"\n"));
    }

    // A server's reply line keeps to one line of the output, whatever bytes it holds.
    void hostileLineStaysOneLine()
    {
        const qsizetype before = written().size();
        qDebug() << "R:" << QByteArray("200 a\r\nS: \"QUIT\0x", 15) + QByteArray(100000, 'y');
        waitForTheLoop();
        const QByteArray line = written().mid(before);
        QCOMPARE(line.count('\n'), 1);
        QVERIFY(line.endsWith('\n'));
        QVERIFY(!line.contains('\r') && !line.contains('\0'));
    }

    void writtenWhenLarge()
    {
        const qsizetype before = written().size();
        const QByteArray line(1000, 'x');
        for (int i = 0; i < 70; ++i)
            qDebug("%s", line.constData());
        QVERIFY(written().size() - before >= 64 * 1001);
    }

private:
    static void waitForTheLoop()
    {
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec(); // waits for the timer
    }

    QByteArray written()
    {
        QFile file(output.fileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryFile output;
};

TARNWICK_TEST_MAIN(TestDebugOutput)
#include "tst_debugoutput.moc"
