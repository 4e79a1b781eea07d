#include "messageboxes.h"

#include <QMessageBox>

namespace MessageBoxes {
namespace {

Interceptor &interceptor()
{
    static Interceptor installed;
    return installed;
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
        QMessageBox::critical(parent, title, text, QMessageBox::Ok);
}

void information(QWidget *parent, const QString &title, const QString &text)
{
    if (interceptor())
        interceptor()({Kind::Information, title, text});
    else
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

void about(QWidget *parent, const QString &title, const QString &text)
{
    if (interceptor())
        interceptor()({Kind::About, title, text});
    else
        QMessageBox::about(parent, title, text);
}

bool question(QWidget *parent, const QString &title, const QString &text)
{
    if (interceptor())
        return interceptor()({Kind::Question, title, text});
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

} // namespace MessageBoxes
