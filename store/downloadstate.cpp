#include "downloadstate.h"

#include <utility>

namespace {

using Phase = DownloadState::Phase;

const std::pair<Phase, QLatin1StringView> words[] = {
    {Phase::Sent, QLatin1StringView("verstuurd")},    {Phase::Queued, QLatin1StringView("wachtrij")},
    {Phase::Downloading, QLatin1StringView("bezig")}, {Phase::PostProcessing, QLatin1StringView("nabewerking")},
    {Phase::Done, QLatin1StringView("klaar")},        {Phase::Failed, QLatin1StringView("mislukt")},
    {Phase::Duplicate, QLatin1StringView("dubbel")},  {Phase::Removed, QLatin1StringView("verwijderd")},
    {Phase::Saved, QLatin1StringView("opgeslagen")},
};

} // namespace

bool DownloadState::isOpen() const
{
    return phase == Phase::Sent || phase == Phase::Queued || phase == Phase::Downloading
        || phase == Phase::PostProcessing;
}

bool DownloadState::isAnnounced() const
{
    return phase == Phase::Done || phase == Phase::Failed;
}

QString DownloadState::text() const
{
    switch (phase) {
    case Phase::Sent:
        return tr("Verstuurd");
    case Phase::Queued:
        return tr("In wachtrij");
    case Phase::Downloading:
        return tr("Bezig (%1%)").arg(percent);
    case Phase::PostProcessing:
        return tr("Nabewerking");
    case Phase::Done:
        return tr("Klaar");
    case Phase::Failed:
        return reason.isEmpty() ? tr("Mislukt") : tr("Mislukt: %1").arg(reason);
    case Phase::Duplicate:
        return tr("Dubbel");
    case Phase::Removed:
        return tr("Verwijderd");
    case Phase::Saved:
        return tr("Opgeslagen");
    }
    return {};
}

QString DownloadState::word(Phase phase)
{
    for (const auto &[value, name] : words) {
        if (value == phase)
            return name;
    }
    return {};
}

std::optional<DownloadState::Phase> DownloadState::phaseOf(const QString &word)
{
    for (const auto &[value, name] : words) {
        if (word == name)
            return value;
    }
    return std::nullopt;
}
