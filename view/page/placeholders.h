#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// A placeholder of a template ("{size}") and the bytes that take its place.
struct Placeholder
{
    QByteArrayView name;
    QByteArrayView value;
};

// text with every placeholder of values replaced by its value, in one pass from the start:
// the bytes a value brings are never searched again, so a value that names a placeholder
// shows that name as written. nullopt as soon as the result would be longer than limit.
std::optional<QByteArray> fillPlaceholders(QByteArrayView text, const QList<Placeholder> &values, qsizetype limit);
