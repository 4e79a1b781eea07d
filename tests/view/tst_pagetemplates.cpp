#include "bytetext.h"
#include "pagetemplates.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

const QByteArray commentTemplate = "<hr>\nReactie van <b>{name}</b>\n<hr>\n\n{comment}\n";

// Set in the copy of this program that the lifecycle test starts.
const char copyMarker[] = "TARNWICK_TEMPLATES_COPY";

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The committed template, as draw_frames.py writes it.
QByteArray sourceSpotTemplate()
{
    return readFile(QFINDTESTDATA("../../resources/spot.tpl"));
}

QString spotFileNextToProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/spot.tpl");
}

} // namespace

class TestPageTemplates : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void load_data()
    {
        // A null array is a file that is not there; "folder" makes spot.tpl unreadable.
        QTest::addColumn<QByteArray>("spotFile");
        QTest::addColumn<QByteArray>("commentFile");
        QTest::addColumn<bool>("embedded");
        const QByteArray none;
        const QByteArray mySpot = "mijn {description} {description}\n";
        const QByteArray myComment = "mijn {comment}\n";
        QTest::newRow("empty-directory-takes-embedded") << none << none << true;
        QTest::newRow("comment-tpl-alone-is-ignored") << none << myComment << true;
        QTest::newRow("spot-tpl-without-comment-tpl") << mySpot << none << false;
        QTest::newRow("both-files") << mySpot << myComment << false;
        QTest::newRow("empty-spot-tpl-is-used") << QByteArray("") << myComment << false;
        QTest::newRow("unreadable-spot-tpl") << QByteArray("folder") << myComment << false;
    }
    // clang-format on

    void load()
    {
        QFETCH(QByteArray, spotFile);
        QFETCH(QByteArray, commentFile);
        QFETCH(bool, embedded);
        QTemporaryDir dir;
        const QString spotPath = dir.filePath(QStringLiteral("spot.tpl"));
        const bool unreadable = spotFile == "folder";
        if (unreadable)
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("spot.tpl")));
        else if (!spotFile.isNull())
            QVERIFY(writeFile(spotPath, spotFile));
        if (!commentFile.isNull())
            QVERIFY(writeFile(dir.filePath(QStringLiteral("comment.tpl")), commentFile));

        const PageTemplates templates = PageTemplates::load(dir.path());
        if (embedded) {
            QCOMPARE(templates.spot, sourceSpotTemplate());
            QCOMPARE(templates.comment, commentTemplate);
        } else {
            QCOMPARE(templates.spot, unreadable ? QByteArray() : spotFile);
            QCOMPARE(templates.comment, commentFile.isNull() ? QByteArray() : commentFile);
        }
    }

    void embeddedTemplatesAreTheCommittedOnes()
    {
        QVERIFY(!sourceSpotTemplate().isEmpty());
        QCOMPARE(readFile(QStringLiteral(":/tpl/spot.tpl")), sourceSpotTemplate());
        QCOMPARE(readFile(QStringLiteral(":/tpl/comment.tpl")), commentTemplate);
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void spotTemplatePlaceholdersOnce_data()
    {
        QTest::addColumn<QByteArray>("placeholder");
        for (const char *name : {"{description}", "{website}", "{size}", "{numfiles}", "{firstfile}",
                                 "{lastfile}", "{newsgroup}", "{comments}"})
            QTest::newRow(name) << QByteArray(name);
    }
    // clang-format on

    void spotTemplatePlaceholdersOnce()
    {
        QFETCH(QByteArray, placeholder);
        QCOMPARE(sourceSpotTemplate().count(placeholder), 1);
    }

    void spotTemplateLayout()
    {
        const QByteArray page = sourceSpotTemplate();
        QVERIFY(!page.contains('\r'));
        QVERIFY(page.contains("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"));
        QVERIFY(page.contains("<title>spot template</title>"));
        QVERIFY(
            page.contains("<div class=\"box\"><div class=\"lb\"><div class=\"rb\"><div class=\"bb\"><div "
                          "class=\"blc\"><div class=\"brc\"><div class=\"tb\"><div class=\"tlc\"><div "
                          "class=\"trc\">\n<div class=\"content\">{description}</div>\n<br style=\"clear: both;\">"));
        QVERIFY(page.contains("<td><b>Aantal&nbsp;bestanden</b></td><td>:</td><td> {numfiles}</td>"));
        QVERIFY(page.contains("<td style=\"white-space: nowrap;\"> <span style=\"color: green;\">{firstfile}</span> "
                              "t/m <span style=\"color: green;\">{lastfile}</span></td>"));
    }

    // The rows stay as laid out, one case a row.
    // clang-format off
    void frameImages_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("layout");
        QTest::newRow("tlc") << 20 << 16 << QStringLiteral("transparent url() no-repeat 0% 0%");
        QTest::newRow("trc") << 30 << 16 << QStringLiteral("transparent url() no-repeat 100% 0%");
        QTest::newRow("blc") << 20 << 16 << QStringLiteral("transparent url() no-repeat 0% 100%");
        QTest::newRow("brc") << 30 << 16 << QStringLiteral("transparent url() no-repeat 100% 100%");
        QTest::newRow("tb") << 20 << 16 << QStringLiteral("transparent url() repeat-x 0% 0%");
        QTest::newRow("bb") << 20 << 16 << QStringLiteral("transparent url() repeat-x 50% 100%");
        QTest::newRow("rb") << 30 << 10 << QStringLiteral("url() repeat-y 100% 0%");
        QTest::newRow("lb") << 20 << 10 << QStringLiteral("url() repeat-y 0% 100%");
    }
    // clang-format on

    void frameImages()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, layout);
        const QString page = ByteText::toText(sourceSpotTemplate());
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        const QRegularExpression rule(QStringLiteral("\\n\\.%1 \\{ background: (.*); \\}\\n").arg(name));
        const QRegularExpressionMatch match = rule.match(page);
        QVERIFY(match.hasMatch());
        const QRegularExpression url(QStringLiteral("url\\(data:image/png;base64,([A-Za-z0-9+/=]+)\\)"));
        QString background = match.captured(1);
        const QRegularExpressionMatch data = url.match(background);
        QVERIFY(data.hasMatch());
        QCOMPARE(background.replace(url, QStringLiteral("url()")), layout);

        const QByteArray png = QByteArray::fromBase64(ByteText::toBytes(data.captured(1)));
        QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR"));
        const auto byteAt = [&](int i) { return uchar(png.at(i)); };
        QCOMPARE(byteAt(16) << 24 | byteAt(17) << 16 | byteAt(18) << 8 | byteAt(19), width);
        QCOMPARE(byteAt(20) << 24 | byteAt(21) << 16 | byteAt(22) << 8 | byteAt(23), height);
        QCOMPARE(byteAt(24), uchar(8));
        QVERIFY(byteAt(25) == 0 || byteAt(25) == 4); // greyscale, with or without alpha
    }

    void sharedIsEmbeddedAndOneObject()
    {
        QVERIFY(!QFile::exists(spotFileNextToProgram()));
        const PageTemplates &templates = PageTemplates::shared();
        QCOMPARE(&PageTemplates::shared(), &templates);
        QCOMPARE(templates.spot, sourceSpotTemplate());
        QCOMPARE(templates.comment, commentTemplate);
    }

    // Runs in a copy of this program, so that template files next to it affect no other test.
    void sharedRetriesAnEmptySpotTemplateButNeverReloads()
    {
        if (qEnvironmentVariableIsSet(copyMarker)) {
            // The starting test put an empty spot.tpl next to this copy.
            QVERIFY(QFile::exists(spotFileNextToProgram()));
            QCOMPARE(PageTemplates::shared().spot, QByteArray());
            QCOMPARE(PageTemplates::shared().comment, QByteArray());
            QVERIFY(QFile::remove(spotFileNextToProgram()));
            QCOMPARE(PageTemplates::shared().spot, sourceSpotTemplate());
            QVERIFY(writeFile(spotFileNextToProgram(), "later {description}\n"));
            QCOMPARE(PageTemplates::shared().spot, sourceSpotTemplate());
            QCOMPARE(PageTemplates::shared().comment, commentTemplate);
            return;
        }
        QTemporaryDir installation;
        const QString copy = installation.filePath(QStringLiteral("tst_pagetemplates"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QVERIFY(writeFile(installation.filePath(QStringLiteral("spot.tpl")), QByteArray("")));

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(copyMarker), QStringLiteral("1"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(copy, {QStringLiteral("sharedRetriesAnEmptySpotTemplateButNeverReloads")});
        QVERIFY(process.waitForFinished(120000));
        const QByteArray output = process.readAll();
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, output.constData());
    }
};

TARNWICK_TEST_MAIN(TestPageTemplates)
#include "tst_pagetemplates.moc"
