// Preloaded into the real program (LD_PRELOAD) by the tests that make it show a message box
// with no one to close it: the box is not shown, its title and text go to standard error as
//   tarnwick-test: critical "Error": "Fout bij openen spots database"
// and the program is told that OK was pressed. It replaces QDialog::exec(), which the program
// calls through the dynamic linker on a box of its own; every other dialog runs as usual.
#include <QMessageBox>

#include <cstdio>
#include <dlfcn.h>

int QDialog::exec()
{
    const auto *box = qobject_cast<QMessageBox *>(this);
    if (!box) {
        using Exec = int (*)(QDialog *);
        static const auto qtExec = reinterpret_cast<Exec>(dlsym(RTLD_NEXT, "_ZN7QDialog4execEv"));
        return qtExec(this);
    }
    const QMessageBox::Icon icon = box->icon();
    const char *kind = icon == QMessageBox::Critical ? "critical"
        : icon == QMessageBox::Information           ? "information"
        : icon == QMessageBox::Question              ? "question"
                                                     : "about";
    std::fprintf(stderr, "tarnwick-test: %s \"%s\": \"%s\"\n", kind, box->windowTitle().toUtf8().constData(),
                 box->text().toUtf8().constData());
    std::fflush(stderr);
    return QMessageBox::Ok;
}
