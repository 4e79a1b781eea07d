#include "databasesetuperror.h"

DatabaseSetupError::DatabaseSetupError(const QString &message)
    : text(message)
    , utf8(message.toUtf8())
{
}

QString DatabaseSetupError::message() const
{
    return text;
}

const char *DatabaseSetupError::what() const noexcept
{
    return utf8.constData();
}
