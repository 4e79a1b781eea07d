#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The comment index keeps a spot's comment article numbers as one blob: 32-bit big-endian
// numbers one after the other, nothing else. They are read as unsigned, because article
// numbers of a busy group pass 2^31 and must not turn negative.
namespace CommentNumberList {

// Bytes past the last whole number are ignored.
QList<quint32> decode(QByteArrayView blob);
QByteArray encode(const QList<quint32> &numbers);

} // namespace CommentNumberList
