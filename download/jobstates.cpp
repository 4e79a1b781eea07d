#include "jobstates.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

using Phase = DownloadState::Phase;
using JobStates::States;

constexpr qsizetype maxReasonLength = 200;

QString tr(const char *text)
{
    return QCoreApplication::translate("JobStates", text);
}

DownloadState state(Phase phase, int percent = 0, const QString &reason = QString())
{
    return DownloadState{phase, percent, reason};
}

// A downloader's text as one short line: no control characters, bounded.
QString plain(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return text.left(maxReasonLength).simplified();
}

// NZBGet's ids are whole numbers.
QString nzbgetId(const QJsonObject &item)
{
    const double id = item.value(QStringLiteral("NZBID")).toDouble(-1);
    return id >= 1 && id < 9007199254740992.0 && std::floor(id) == id ? QString::number(qint64(id)) : QString();
}

double size(const QJsonObject &item, const char *name)
{
    const QString field = QLatin1StringView(name);
    return item.value(field + QLatin1StringView("Lo")).toDouble()
        + item.value(field + QLatin1StringView("Hi")).toDouble() * 4294967296.0;
}

int percentOf(double done, double total)
{
    if (!(total > 0))
        return 0;
    // Clamped before the conversion: a hostile answer's sizes may lie anywhere, or be NaN.
    const double percent = done * 100 / total;
    return percent > 0 ? int(std::min(percent, 100.0)) : 0;
}

std::optional<QJsonArray> nzbgetResult(const QByteArray &answer)
{
    const QJsonValue result = QJsonDocument::fromJson(answer).object().value(QStringLiteral("result"));
    return result.isArray() ? std::optional(result.toArray()) : std::nullopt;
}

// Why NZBGet gave up, in words, after the second half of its status.
QString nzbgetReason(const QString &status)
{
    static const std::pair<QLatin1StringView, const char *> reasons[] = {
        {QLatin1StringView("HEALTH"), QT_TRANSLATE_NOOP("JobStates", "er ontbreken te veel artikelen")},
        {QLatin1StringView("PAR"), QT_TRANSLATE_NOOP("JobStates", "herstel met par-bestanden mislukt")},
        {QLatin1StringView("UNPACK"), QT_TRANSLATE_NOOP("JobStates", "uitpakken mislukt")},
        {QLatin1StringView("MOVE"), QT_TRANSLATE_NOOP("JobStates", "verplaatsen mislukt")},
        {QLatin1StringView("SCRIPT"), QT_TRANSLATE_NOOP("JobStates", "script mislukt")},
        {QLatin1StringView("DAMAGED"), QT_TRANSLATE_NOOP("JobStates", "beschadigd")},
        {QLatin1StringView("REPAIRABLE"), QT_TRANSLATE_NOOP("JobStates", "beschadigd, te herstellen")},
        {QLatin1StringView("SPACE"), QT_TRANSLATE_NOOP("JobStates", "schijf vol")},
        {QLatin1StringView("PASSWORD"), QT_TRANSLATE_NOOP("JobStates", "wachtwoord nodig")},
        {QLatin1StringView("BAD"), QT_TRANSLATE_NOOP("JobStates", "als slecht gemarkeerd")},
        {QLatin1StringView("SCAN"), QT_TRANSLATE_NOOP("JobStates", "NZB onleesbaar")},
    };
    const QString detail = status.section(u'/', 1);
    for (const auto &[name, words] : reasons) {
        if (detail == name)
            return tr(words) + QStringLiteral(" (") + status + u')';
    }
    return status;
}

QJsonArray slotsOf(const QByteArray &answer, const QString &list, bool *found)
{
    const QJsonValue part = QJsonDocument::fromJson(answer).object().value(list);
    const QJsonValue slots = part.toObject().value(QStringLiteral("slots"));
    *found = part.isObject() && slots.isArray();
    return slots.toArray();
}

// SABnzbd's ids are short words ("SABnzbd_nzo_kyt1f0").
QString sabnzbdId(const QJsonObject &slot)
{
    const QString id = slot.value(QStringLiteral("nzo_id")).toString();
    const bool word = !id.isEmpty() && id.size() <= 100
        && std::all_of(id.begin(), id.end(), [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'-'; });
    return word ? id : QString();
}

// A number that SABnzbd may send as text ("57") or as a number.
double number(const QJsonValue &value)
{
    return value.isString() ? value.toString().toDouble() : value.toDouble();
}

bool isPostProcessing(const QString &status)
{
    static const QStringList steps{QStringLiteral("Checking"),   QStringLiteral("QuickCheck"),
                                   QStringLiteral("Verifying"),  QStringLiteral("Repairing"),
                                   QStringLiteral("Extracting"), QStringLiteral("Moving"),
                                   QStringLiteral("Running")};
    return steps.contains(status);
}

} // namespace

namespace JobStates {

std::optional<States> nzbgetQueue(const QByteArray &answer)
{
    const std::optional<QJsonArray> groups = nzbgetResult(answer);
    if (!groups)
        return std::nullopt;
    States states;
    for (const QJsonValue &value : *groups) {
        const QJsonObject group = value.toObject();
        const QString id = nzbgetId(group);
        if (id.isEmpty())
            continue;
        const QString status = group.value(QStringLiteral("Status")).toString();
        if (status == QLatin1StringView("DOWNLOADING")) {
            const double total = size(group, "FileSize") - size(group, "PausedSize");
            const double left = size(group, "RemainingSize") - size(group, "PausedSize");
            states.insert(id, state(Phase::Downloading, percentOf(total - left, total)));
        } else if (status == QLatin1StringView("QUEUED") || status == QLatin1StringView("PAUSED")
                   || status == QLatin1StringView("FETCHING")) {
            states.insert(id, state(Phase::Queued));
        } else {
            states.insert(id, state(Phase::PostProcessing));
        }
    }
    return states;
}

DownloadState nzbgetHistoryState(const QString &status)
{
    const QString kind = status.section(u'/', 0, 0);
    const QString detail = status.section(u'/', 1);
    if (kind == QLatin1StringView("SUCCESS"))
        return state(Phase::Done);
    if (kind == QLatin1StringView("DELETED")) {
        if (detail == QLatin1StringView("DUPE") || detail == QLatin1StringView("COPY")
            || detail == QLatin1StringView("GOOD"))
            return state(Phase::Duplicate);
        if (detail == QLatin1StringView("MANUAL"))
            return state(Phase::Removed);
    }
    return state(Phase::Failed, 0, nzbgetReason(status));
}

std::optional<States> nzbgetHistory(const QByteArray &answer)
{
    const std::optional<QJsonArray> items = nzbgetResult(answer);
    if (!items)
        return std::nullopt;
    States states;
    for (const QJsonValue &value : *items) {
        const QJsonObject item = value.toObject();
        const QString id = nzbgetId(item);
        if (!id.isEmpty())
            states.insert(id, nzbgetHistoryState(plain(item.value(QStringLiteral("Status")).toString())));
    }
    return states;
}

std::optional<States> sabnzbdQueue(const QByteArray &answer)
{
    bool found = false;
    const QJsonArray slots = slotsOf(answer, QStringLiteral("queue"), &found);
    if (!found)
        return std::nullopt;
    States states;
    for (const QJsonValue &value : slots) {
        const QJsonObject slot = value.toObject();
        const QString id = sabnzbdId(slot);
        const QString status = slot.value(QStringLiteral("status")).toString();
        if (id.isEmpty())
            continue;
        if (status == QLatin1StringView("Downloading"))
            states.insert(id,
                          state(Phase::Downloading, percentOf(number(slot.value(QStringLiteral("percentage"))), 100)));
        else if (isPostProcessing(status))
            states.insert(id, state(Phase::PostProcessing));
        else
            states.insert(id, state(Phase::Queued));
    }
    return states;
}

std::optional<States> sabnzbdHistory(const QByteArray &answer)
{
    bool found = false;
    const QJsonArray slots = slotsOf(answer, QStringLiteral("history"), &found);
    if (!found)
        return std::nullopt;
    States states;
    for (const QJsonValue &value : slots) {
        const QJsonObject slot = value.toObject();
        const QString id = sabnzbdId(slot);
        const QString status = slot.value(QStringLiteral("status")).toString();
        if (id.isEmpty())
            continue;
        if (status == QLatin1StringView("Completed")) {
            states.insert(id, state(Phase::Done));
        } else if (status == QLatin1StringView("Failed")) {
            const QString message = plain(slot.value(QStringLiteral("fail_message")).toString());
            if (message.contains(QLatin1StringView("duplicate"), Qt::CaseInsensitive))
                states.insert(id, state(Phase::Duplicate));
            else
                states.insert(id, state(Phase::Failed, 0, message));
        } else {
            states.insert(id, state(Phase::PostProcessing));
        }
    }
    return states;
}

} // namespace JobStates
