#pragma once

// What the spot list's tests share: reading the list as its ids, and waiting for its index.
#include "spotsmodel.h"

#include <QList>
#include <QSignalSpy>
#include <QString>

namespace ListTest {

// ASCII letters in lower case, as the search compares them; other letters as they are.
inline QString asciiLower(QString text)
{
    for (QChar &c : text) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() - 'A' + 'a');
    }
    return text;
}

// The spot ids of every row, as the list shows them.
inline QList<int> shownIds(const SpotsModel &model)
{
    QList<int> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.data(model.index(row, 0), SpotsModel::SpotIdRole).toInt();
    return ids;
}

// The model once its index is in use: the way the list runs but for its first seconds.
inline bool indexed(SpotsModel &model)
{
    QSignalSpy ready(&model, &SpotsModel::indexed);
    return model.isIndexed() || ready.wait(20000);
}

} // namespace ListTest
