#pragma once

#include <QByteArray>

// What the spot tables hold of one spot that its page and its NZB need.
struct SpotRow
{
    QByteArray messageId; // as stored: without "@free.pt" for spots of the spot group
    int category = 0;
};
