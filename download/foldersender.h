#pragma once

#include "nzbsender.h"

// Puts the NZB into a downloader's watch folder (see NzbFile::writeInto), under the spot's
// title as its name.
class FolderSender : public NzbSender
{
    Q_OBJECT

public:
    explicit FolderSender(const QString &folder, QObject *parent = nullptr);

    void send(const NzbJob &job) override;

private:
    QString folder;
};
