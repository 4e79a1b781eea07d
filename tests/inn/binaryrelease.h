#pragma once

#include <QByteArray>
#include <QList>

// A release posted as binaries, as a poster's tool posts it: each file cut into parts of at
// most partSize bytes, one multi-part yEnc article per part in one group, and the NZB that
// names every part's article. Articles are in the form a news feed takes (LF line ends, not
// dot-stuffed, every header a server wants).
struct BinaryRelease
{
    struct File
    {
        QByteArray name; // letters, digits, dots and dashes
        QByteArray data;
    };

    BinaryRelease(const QByteArray &name, const QList<File> &files, qsizetype partSize, const QByteArray &group);

    QList<File> files;
    QList<QByteArray> articles; // file by file, part by part
    QList<QByteArray> messageIds; // of the articles, without angle brackets
    QByteArray nzb;
};
