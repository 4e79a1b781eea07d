#include "innserver.h"

#include "testcertificate.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace {

const QString bin = QStringLiteral("/usr/lib/news/bin/");
constexpr int answerTimeoutMs = 15000;

// Every path in the instance's directory; the programs and control scripts are the package's.
// Old articles are taken (artcutoff 0): the corpus goes back 90 days.
const char innConf[] = R"(pathhost: inn.tarnwick.test
domain: tarnwick.test
organization: "Tarnwick tests"
mta: "/bin/false %s"
bindaddress: 127.0.0.1
port: %2
artcutoff: 0
noreader: true
ovmethod: tradindexed
hismethod: hisv6
enableoverview: true
tlscertfile: %1/etc/certificate.pem
tlskeyfile: %1/etc/key.pem
pathnews: %1
pathbin: /usr/lib/news/bin
pathcontrol: /usr/lib/news/bin/control
pathfilter: %1/filter
pathetc: %1/etc
pathdb: %1/db
pathrun: %1/run
pathspool: %1/spool
patharticles: %1/spool/articles
pathoverview: %1/spool/overview
pathincoming: %1/spool/incoming
pathoutgoing: %1/spool/outgoing
patharchive: %1/spool/archive
pathtmp: %1/tmp
pathlog: %1/log
pathhttp: %1/http
)";

// The feed comes from loopback only, streamed; readers on loopback may read everything.
const char incomingConf[] = "streaming: true\npeer feeder { hostname: \"127.0.0.1\" }\n";
const char readersConf[] = "auth local { hosts: \"127.0.0.1\" default: \"<local>\" }\n"
                           "access local { users: \"<local>\" newsgroups: \"*\" access: R }\n";
const char storageConf[] = "method timehash { newsgroups: * class: 0 }\n";
const char newsfeeds[] = "ME:*::\n";

// Runs a server ("$@" after two arguments) in the process group that the watchdog leads.
// When the test closes the watchdog's standard input, or dies, the first argument stops the
// server ($server: its process id), which has ten seconds for that; then the directory that
// the second names (if any) is removed, and whatever the server forked goes with the group.
const char watchdog[] = R"(stop=$1
remove=$2
shift 2
exec 3<&0
"$@" </dev/null 3<&- &
server=$!
{ read -r _ <&3; eval "$stop"; sleep 10; kill -9 "$server"; } &
wait "$server"
read -r _ <&3
[ -z "$remove" ] || rm -rf "$remove"
kill -9 0
)";
// innd takes its time over a SIGTERM; told through its control socket, it stops at once.
const char stopInnd[] = "/usr/lib/news/bin/ctlinnd -t 10 shutdown done >/dev/null || kill -TERM \"$server\"";
const char stopReader[] = "kill -TERM \"$server\"";

bool write(const QString &file, const QByteArray &contents)
{
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(contents) == contents.size();
}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// INN started by root switches to news at once: everything it writes must be news's.
bool giveToNews(const QString &root)
{
    if (geteuid() != 0)
        return true;
    const passwd *user = getpwnam("news");
    const group *newsGroup = getgrnam("news");
    if (!user || !newsGroup)
        return false;
    QDirIterator entries(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    bool changed = chown(QFile::encodeName(root).constData(), user->pw_uid, newsGroup->gr_gid) == 0;
    while (entries.hasNext())
        changed = chown(QFile::encodeName(entries.next()).constData(), user->pw_uid, newsGroup->gr_gid) == 0 && changed;
    return changed;
}

} // namespace

InnServer::InnServer() = default;

InnServer::~InnServer()
{
    stopReaders();
    if (innd)
        stop(*innd);
}

bool InnServer::installed()
{
    for (const char *program : {"innd", "nnrpd", "makedbz"}) {
        if (!QFile::exists(bin + QLatin1String(program)))
            return false;
    }
    return true;
}

QString InnServer::path(const QString &relative) const
{
    return dir.filePath(relative);
}

bool InnServer::writeConfiguration(const QList<QByteArray> &groups, const TestCertificate &certificate)
{
    for (const char *sub : {"etc", "db", "run", "spool/articles", "spool/overview", "spool/incoming", "spool/outgoing",
                            "spool/archive", "tmp", "log", "http", "filter"}) {
        if (!QDir().mkpath(path(QLatin1String(sub))))
            return false;
    }
    // innd needs its own groups; the others start empty: "group high low flag".
    QByteArray active = "control 0000000000 0000000001 n\ncontrol.cancel 0000000000 0000000001 n\n"
                        "junk 0000000000 0000000001 n\n";
    for (const QByteArray &group : groups)
        active += group + " 0000000000 0000000001 y\n";
    const QByteArray conf = QString::fromLatin1(innConf).arg(dir.path()).arg(innPort).toUtf8();
    return write(path(QStringLiteral("etc/inn.conf")), conf)
        && write(path(QStringLiteral("etc/incoming.conf")), incomingConf)
        && write(path(QStringLiteral("etc/readers.conf")), readersConf)
        && write(path(QStringLiteral("etc/storage.conf")), storageConf)
        && write(path(QStringLiteral("etc/newsfeeds")), newsfeeds)
        && write(path(QStringLiteral("etc/certificate.pem")), certificate.certificate.toPem())
        && write(path(QStringLiteral("etc/key.pem")), certificate.key.toPem())
        && QFile::setPermissions(path(QStringLiteral("etc/key.pem")), QFile::ReadOwner | QFile::WriteOwner)
        && write(path(QStringLiteral("db/active")), active) && write(path(QStringLiteral("db/newsgroups")), {})
        && write(path(QStringLiteral("db/history")), {});
}

bool InnServer::start(const QList<QByteArray> &groups, const TestCertificate &certificate)
{
    innPort = freeLoopbackPort();
    if (!dir.isValid() || innPort == 0 || !writeConfiguration(groups, certificate) || !giveToNews(dir.path())
        || !run(QStringLiteral("makedbz"), {QStringLiteral("-i"), QStringLiteral("-o")}))
        return false;
    // -d: in the foreground, logging to standard output.
    innd.reset(launch(QStringLiteral("innd"), {QStringLiteral("-d")}, QLatin1String(stopInnd), dir.path()));
    return answers(innPort, *innd, true);
}

quint16 InnServer::feedPort() const
{
    return innPort;
}

quint16 InnServer::startReader(Reader reader)
{
    const quint16 port = freeLoopbackPort();
    QStringList arguments{QStringLiteral("-D"),        QStringLiteral("-f"), QStringLiteral("-b"),
                          QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port)};
    if (reader == Reader::Tls)
        arguments += QStringLiteral("-S");
    readers.emplace_back(launch(QStringLiteral("nnrpd"), arguments, QLatin1String(stopReader), {}));
    // A TLS reader greets only after the handshake: that it takes the connection must do.
    return port != 0 && answers(port, *readers.back(), reader == Reader::Plain) ? port : 0;
}

void InnServer::stopReaders()
{
    for (const std::unique_ptr<QProcess> &reader : readers)
        stop(*reader);
    readers.clear();
}

QString InnServer::certificateFile() const
{
    return path(QStringLiteral("etc/certificate.pem"));
}

QString InnServer::output() const
{
    QString text;
    for (const QFileInfo &file : QDir(dir.path()).entryInfoList({QStringLiteral("*.out")}, QDir::Files, QDir::Time)) {
        QFile out(file.filePath());
        if (out.open(QIODevice::ReadOnly))
            text += file.fileName() + QStringLiteral(":\n") + QString::fromLocal8Bit(out.readAll());
    }
    return text;
}

bool InnServer::run(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(path(tool + QStringLiteral(".out")));
    process.start(bin + tool, arguments);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QProcess *InnServer::launch(const QString &tool, const QStringList &arguments, const QString &stop,
                            const QString &removeAfter)
{
    auto *process = new QProcess;
    process->setProcessEnvironment(environment());
    process->setWorkingDirectory(dir.path());
    // Into a file, not a pipe: a pipe that nobody reads while the test waits would stop the server.
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(path(QStringLiteral("%1-%2.out").arg(tool).arg(++launched)));
    process->setChildProcessModifier([] { setpgid(0, 0); });
    process->start(QStringLiteral("/bin/sh"),
                   QStringList{QStringLiteral("-c"), QLatin1String(watchdog), QStringLiteral("watchdog"), stop,
                               removeAfter, bin + tool}
                       + arguments);
    process->waitForStarted();
    return process;
}

QProcessEnvironment InnServer::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("INNCONF"), path(QStringLiteral("etc/inn.conf")));
    return environment;
}

bool InnServer::answers(quint16 port, const QProcess &process, bool greets)
{
    const QDeadlineTimer deadline(answerTimeoutMs);
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(1000)
            && (!greets || (probe.waitForReadyRead(2000) && probe.readLine().startsWith("20"))))
            return true;
        QTest::qWait(100);
    }
    return false;
}

void InnServer::stop(QProcess &process)
{
    const pid_t group = pid_t(process.processId());
    process.closeWriteChannel();
    if (!process.waitForFinished(20000) && group > 0) {
        kill(-group, SIGKILL);
        process.waitForFinished();
    }
}
