#pragma once

#include <QString>

#include <functional>

class QWidget;

// The program's modal message boxes. Their texts are always shown as plain text, never read as
// markup. Tests install an interceptor that records what would be shown and answers for the
// user, so that no modal loop ever blocks them.
namespace MessageBoxes {

enum class Kind { Critical, Information, Question, About };

struct Message
{
    Kind kind;
    QString title;
    QString text;
};

// Returns the user's answer: true for Yes to a question (ignored for the other kinds).
using Interceptor = std::function<bool(const Message &)>;
void setInterceptor(Interceptor interceptor); // an empty one restores the real boxes

void critical(QWidget *parent, const QString &title, const QString &text);
void information(QWidget *parent, const QString &title, const QString &text);
void about(QWidget *parent, const QString &title, const QString &text);
// Yes and No buttons; true when the user chose Yes.
bool question(QWidget *parent, const QString &title, const QString &text);

} // namespace MessageBoxes
