#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// A self-signed certificate and its key for a host name, made at run time with the
// openssl command line (Debian package openssl). Null when that failed.
struct TestCertificate
{
    QSslCertificate certificate;
    QSslKey key;

    static TestCertificate generate(const QString &commonName);
    bool isNull() const;
    // Lets every TLS client of the process trust this certificate, as if a real authority had
    // signed it; the test restores the default configuration it saved.
    void trust() const;
};
