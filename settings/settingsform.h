#pragma once

#include <QCoreApplication>
#include <QString>

#include <optional>

// The values of the settings dialog as the user typed them, with the rules for accepting
// them and storing them. Kept apart from the widgets so that the rules can be checked
// without a window.
struct SettingsForm
{
    // These are the settings dialog's texts: they are translated under its context.
    Q_DECLARE_TR_FUNCTIONS(SettingsDialog)

public:
    enum class Field { Server, User, Password, Nick, Port, MaxDays, MaxSpots };

    // Why the form cannot be accepted, and which field to fix.
    struct Problem
    {
        QString title;
        QString text;
        Field field;
    };

    QString server;
    QString user;
    QString password; // exactly as typed, blanks included
    QString nick;
    QString port;
    QString maxDays;
    QString maxSpots;
    bool images = false;
    bool ssl = false;
    bool xzver = false;
    bool ero = false;
    bool notifications = true;
    bool detailsFetch = true;
    int detailsConnections = 1; // 1 to Settings::detailsConnectionsMax

    // The stored settings, or nullopt when the program is not configured yet.
    static std::optional<SettingsForm> fromSettings();

    // The first rule the form breaks, in the order the user is asked to fix them.
    std::optional<Problem> problem() const;

    // Writes every key, the password through SecretStore; a new server resets both download
    // positions first.
    void store() const;

    // Why a password is refused that is not printable Latin-1: the settings file could not keep
    // it exactly, nor could the news server receive it as typed.
    static QString unsendablePasswordText();
};
