#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// The spot key that a comment's References value "<key@free.pt>" names, or nullopt for a
// value too short or too long to be a message-id, or naming no spot.
std::optional<QString> spotKeyFromReference(QByteArrayView references);
