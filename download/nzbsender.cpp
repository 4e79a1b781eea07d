#include "nzbsender.h"

#include "foldersender.h"
#include "nzbgetsender.h"
#include "sabnzbdsender.h"

std::unique_ptr<NzbSender> NzbSender::make(const Settings::NzbHandOff &handOff, QObject *parent)
{
    using Destination = Settings::NzbHandOff::Destination;
    switch (handOff.destination) {
    case Destination::Folder:
        return std::make_unique<FolderSender>(handOff.folder, parent);
    case Destination::NzbGet:
        return std::make_unique<NzbGetSender>(handOff, parent);
    case Destination::Sabnzbd:
        return std::make_unique<SabnzbdSender>(handOff, parent);
    case Destination::Save:
        break;
    }
    return nullptr;
}
