#pragma once

#include "settings.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

// The rules of the "Downloaden" group of the settings dialog, apart from the widgets like
// SettingsForm. Only the chosen destination is checked: the fields of the others are kept
// as typed, so that switching back finds them again. The NZBGet password is the exception:
// it is refused whatever the destination when it could not be kept exactly.
class NzbHandOffForm
{
    // These are the settings dialog's texts: they are translated under its context.
    Q_DECLARE_TR_FUNCTIONS(SettingsDialog)

public:
    enum class Field { Folder, NzbgetUrl, NzbgetPassword, SabnzbdUrl, SabnzbdKey };

    struct Problem
    {
        QString title;
        QString text;
        Field field;
    };

    // The values as they are checked and stored: folder, addresses, user and key trimmed; the
    // password exactly as typed.
    static Settings::NzbHandOff trimmed(Settings::NzbHandOff handOff);

    // Why the chosen destination cannot be used, or nullopt.
    static std::optional<Problem> problem(const Settings::NzbHandOff &handOff);

    // An absolute http or https address with a host, such as "http://127.0.0.1:6789".
    static bool isHttpUrl(const QString &text);
};
