#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

struct TestCertificate;

// A private INN (Debian's inn2) in a temporary directory: an inn.conf of its own that puts
// every path there, the files innd and nnrpd read beside it, innd taking a feed from
// loopback and nnrpd serving readers on loopback, plainly or with TLS from the first byte.
// The system's instance and /etc/news are never touched. Each server runs in a process
// group of its own under a watchdog: the destructor ends them and removes the directory,
// and a test that dies takes its servers and the directory with it.
//
// Run as root, INN switches to the user news: the directory is then given to news.
class InnServer
{
public:
    enum class Reader { Plain, Tls };

    InnServer();
    ~InnServer();

    // innd, nnrpd and makedbz are installed.
    static bool installed();

    // Writes the configuration with these groups (empty), the history and the TLS
    // certificate of the readers, and starts innd; false when innd does not answer.
    bool start(const QList<QByteArray> &groups, const TestCertificate &certificate);
    quint16 feedPort() const;
    // Starts an nnrpd on a port of its own; the port, or 0 when it does not answer.
    quint16 startReader(Reader reader);
    // Ends the readers started so far.
    void stopReaders();

    // The certificate that the TLS reader presents, as a PEM file.
    QString certificateFile() const;
    // What the servers and the tools printed, for the message of a failed test.
    QString output() const;

    Q_DISABLE_COPY_MOVE(InnServer)

private:
    QString path(const QString &relative) const;
    bool writeConfiguration(const QList<QByteArray> &groups, const TestCertificate &certificate);
    // tool: a program of the package, run with this instance's inn.conf, its output in a file.
    bool run(const QString &tool, const QStringList &arguments);
    // tool as a server, under a watchdog that ends it with the test: stop is the shell
    // command that ends it, removeAfter a directory to remove once it has ended.
    QProcess *launch(const QString &tool, const QStringList &arguments, const QString &stop,
                     const QString &removeAfter);
    QProcessEnvironment environment() const;
    // The server took a connection on port (and greeted, where it greets at once).
    bool answers(quint16 port, const QProcess &process, bool greets);
    void stop(QProcess &process);

    QTemporaryDir dir;
    quint16 innPort = 0;
    int launched = 0;
    std::unique_ptr<QProcess> innd;
    std::vector<std::unique_ptr<QProcess>> readers;
};
