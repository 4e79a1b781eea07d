#include "privatetruststore.h"

#include <QFile>

namespace {

// The link that OpenSSL looks the certificate up by, made by "openssl rehash".
bool linkUnderSubjectHash(const QString &directory)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {QStringLiteral("rehash"), directory});
    return openssl.waitForFinished() && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
}

} // namespace

PrivateTrustStore::PrivateTrustStore(const QString &certificateFile)
{
    valid = dir.isValid() && QFile::copy(certificateFile, dir.filePath(QStringLiteral("authority.pem")))
        && linkUnderSubjectHash(dir.path());
}

bool PrivateTrustStore::isValid() const
{
    return valid;
}

QString PrivateTrustStore::wrap(QProcess &process, const QString &program) const
{
    process.setArguments({QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
                          QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                          QStringLiteral("mount --bind \"$1\" /etc/ssl/certs && exec \"$2\""), QStringLiteral("sh"),
                          dir.path(), program});
    return QStringLiteral("unshare");
}
