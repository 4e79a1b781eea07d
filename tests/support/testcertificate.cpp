#include "testcertificate.h"

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QTemporaryDir>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TestCertificate TestCertificate::generate(const QString &commonName)
{
    QTemporaryDir dir;
    const QString keyPath = dir.filePath(QStringLiteral("key.pem"));
    const QString certificatePath = dir.filePath(QStringLiteral("certificate.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=") + commonName, QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=DNS:") + commonName, QStringLiteral("-keyout"), keyPath,
                   QStringLiteral("-out"), certificatePath});
    if (!openssl.waitForFinished() || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        return TestCertificate();
    TestCertificate made;
    made.certificate = QSslCertificate(contents(certificatePath), QSsl::Pem);
    made.key = QSslKey(contents(keyPath), QSsl::Ec, QSsl::Pem);
    return made;
}

bool TestCertificate::isNull() const
{
    return certificate.isNull() || key.isNull();
}

void TestCertificate::trust() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificate(certificate);
    QSslConfiguration::setDefaultConfiguration(configuration);
}
