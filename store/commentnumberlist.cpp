#include "commentnumberlist.h"

#include <QtEndian>

namespace CommentNumberList {

QList<quint32> decode(QByteArrayView blob)
{
    QList<quint32> numbers;
    numbers.reserve(blob.size() / 4);
    for (qsizetype at = 0; at + 4 <= blob.size(); at += 4)
        numbers.append(qFromBigEndian<quint32>(blob.data() + at));
    return numbers;
}

QByteArray encode(const QList<quint32> &numbers)
{
    QByteArray blob(numbers.size() * 4, Qt::Uninitialized);
    char *out = blob.data();
    for (const quint32 number : numbers) {
        qToBigEndian(number, out);
        out += 4;
    }
    return blob;
}

} // namespace CommentNumberList
