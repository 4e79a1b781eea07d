// Preloaded into the real program (LD_PRELOAD) by the tests that make it show a message box
// with no one to close it: the box is not shown, its title and text go to standard error as
//   tarnwick-test: critical "Error": "Fout bij openen spots database"
// and the program is told that OK was pressed. It replaces Qt's static QMessageBox::critical
// and ::information, which the program calls through the dynamic linker; all else is Qt's.
#include <QMessageBox>

#include <cstdio>

namespace {

QMessageBox::StandardButton answer(const char *kind, const QString &title, const QString &text)
{
    std::fprintf(stderr, "tarnwick-test: %s \"%s\": \"%s\"\n", kind, title.toUtf8().constData(),
                 text.toUtf8().constData());
    std::fflush(stderr);
    return QMessageBox::Ok;
}

} // namespace

QMessageBox::StandardButton QMessageBox::critical(QWidget *, const QString &title, const QString &text,
                                                  StandardButtons, StandardButton)
{
    return answer("critical", title, text);
}

QMessageBox::StandardButton QMessageBox::information(QWidget *, const QString &title, const QString &text,
                                                     StandardButtons, StandardButton)
{
    return answer("information", title, text);
}
