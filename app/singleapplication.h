#pragma once

#include <QApplication>
#include <QLockFile>
#include <QPointer>

// The application object, with one running instance per installation and user: the first
// instance holds a lock file whose name carries a hash of the executable's path and the
// user. A lock left behind by a killed instance names a dead process and is taken over.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    SingleApplication(int &argc, char **argv);

    // True when another instance of this executable runs for this user.
    bool isRunning() const;
    // The window that activateWindow() brings to the front.
    void setActivationWindow(QWidget *window, bool activateOnMessage = true);

public Q_SLOTS:
    void activateWindow();

private:
    static QString lockFilePath();

    QLockFile lock;
    bool running;
    QPointer<QWidget> activationWindow;
};
