#include "pagetemplates.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

// This library is static: nothing would pull the embedded resources out of its archive,
// so the templates register them themselves (registering twice is harmless). Outside any
// namespace, as Q_INIT_RESOURCE declares the registration function where it is used.
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

PageTemplates PageTemplates::load(const QString &directory)
{
    registerResources();
    // Both templates come from one place, so a replacement spot page is never mixed with
    // the embedded comment fragment.
    QString from = directory;
    if (!QFileInfo::exists(directory + QStringLiteral("/spot.tpl")))
        from = QStringLiteral(":/tpl");
    return {readAll(from + QStringLiteral("/spot.tpl")), readAll(from + QStringLiteral("/comment.tpl"))};
}

const PageTemplates &PageTemplates::shared()
{
    static PageTemplates templates;
    if (templates.spot.isEmpty())
        templates = load(QCoreApplication::applicationDirPath());
    return templates;
}
