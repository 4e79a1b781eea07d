#pragma once

#include "commentrenderer.h"
#include "pagetemplates.h"
#include "spotxml.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

// One spot's page without a window: what has been read of its articles, and the page bytes
// to show after each answer. Every answer of the controller may be handed to every page:
// each acts only on its own ids (the spot article, its NZB, its pending comment numbers).
class SpotPage
{
    // These are the spot tab's texts (the tab shows the page): translated under its context.
    Q_DECLARE_TR_FUNCTIONS(SpotView)

public:
    // A page longer than pageLimit is never made (the tests choose smaller ones).
    SpotPage(const PageTemplates &templates, bool showImages, qsizetype pageLimit = defaultPageLimit);

    // The spot as the spot table names it, and the comment numbers indexed under that name.
    // The spot article is asked for as spotMessageId() (with "@free.pt" when the stored
    // name has no "@"), then every pending comment by number.
    void open(const QByteArray &storedMessageId, const QList<quint32> &commentNumbers);
    QByteArray spotMessageId() const;
    // The spot article's message-id for a spot key as the spot table stores it.
    static QByteArray articleIdOf(const QByteArray &storedMessageId);
    // The spot article has been read and names an NZB.
    bool namesNzb() const;
    QList<qint32> pendingComments() const;

    // What an answer changes: the page to show (empty: the page stays) and an article to
    // ask for urgently (the NZB, once the spot article has been read).
    struct Update
    {
        QByteArray page;
        QByteArray urgentRequest;
    };
    Update articleData(const QByteArray &id, const QByteArray &data);
    // What articleData() does with the spot article's fields once it has read them.
    Update spotRead(const SpotFields &fields);
    // The page to show, or empty when the page stays.
    QByteArray articleNotFound(const QByteArray &id);

    // The whole page from the template and what is known now, filled in one pass: no value
    // is searched for placeholders, except the description, which may show the other fields
    // ("{size}") but not what they bring. The page is never longer than the page limit: past it,
    // the description keeps its placeholders as written, and a page still too long is
    // tooLargePage(). Every value lands escaped for its place: the image address and the
    // website in their attributes, the rest as text.
    QByteArray render() const;

    static constexpr qsizetype defaultPageLimit = 8 * 1024 * 1024;

    // The pages that are only a status text.
    static QByteArray loadingPage();
    static QByteArray notInDatabasePage();
    static QByteArray tooLargePage();
    static QByteArray notShownPage(); // the web view could not show the page

private:
    // Removes one occurrence of the comment number id names (0 when none); false when not pending.
    bool takePending(const QByteArray &id);

    const PageTemplates templates;
    const bool showImages;
    const qsizetype pageLimit;
    QByteArray messageId;
    QByteArray nzbMessageId;
    qint64 size = 0;
    QString newsgroup;
    QString website;
    QByteArray imageHtml; // empty when images are not shown or the address is not allowed
    QByteArray descriptionHtml; // the description's markup converted, its placeholders unfilled
    QByteArray commentsHtml;
    QStringList fileNames;
    QString spotNewsgroup; // as the spot XML gives them, where every NZB read starts
    QStringList spotFileNames;
    QList<qint32> pending;
    CommentRenderer comments;
};
