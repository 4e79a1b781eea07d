#pragma once

#include <QString>

#include <exception>

// The one failure that ends start-up: the data directory or a database file cannot be
// made or opened, and the program does not run without its databases. The message is
// the translated text that the main window shows.
class DatabaseSetupError : public std::exception
{
public:
    explicit DatabaseSetupError(const QString &message);

    QString message() const;
    const char *what() const noexcept override;

private:
    QString text;
    QByteArray utf8;
};
