#include "messageboxes.h"

#include <QMessageBox>

namespace MessageBoxes {
namespace {

Interceptor &interceptor()
{
    static Interceptor installed;
    return installed;
}

// The text of a box often carries what a server or a poster wrote (an error line, an NZB's
// name): it is always shown as plain text, never read as markup.
QMessageBox::StandardButton exec(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                                 QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (icon == QMessageBox::NoIcon) // the about box shows the program's icon
        box.setIconPixmap(box.windowIcon().pixmap(64, 64));
    return QMessageBox::StandardButton(box.exec()); // on the box itself: no virtual dispatch
}

} // namespace

void setInterceptor(Interceptor replacement)
{
    interceptor() = std::move(replacement);
}

void critical(QWidget *parent, const QString &title, const QString &text)
{
    if (interceptor())
        interceptor()({Kind::Critical, title, text});
    else
        exec(parent, QMessageBox::Critical, title, text, QMessageBox::Ok);
}

void information(QWidget *parent, const QString &title, const QString &text)
{
    if (interceptor())
        interceptor()({Kind::Information, title, text});
    else
        exec(parent, QMessageBox::Information, title, text, QMessageBox::Ok);
}

void about(QWidget *parent, const QString &title, const QString &text)
{
    if (interceptor())
        interceptor()({Kind::About, title, text});
    else
        exec(parent, QMessageBox::NoIcon, title, text, QMessageBox::Ok);
}

bool question(QWidget *parent, const QString &title, const QString &text)
{
    if (interceptor())
        return interceptor()({Kind::Question, title, text});
    return exec(parent, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace MessageBoxes
