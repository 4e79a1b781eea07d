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
    Q_DECLARE_TR_FUNCTIONS(SpotView)

public:
    SpotPage(const PageTemplates &templates, bool showImages);

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
    // The page to show, or empty when the page stays.
    QByteArray articleNotFound(const QByteArray &id);

    // The whole page from the template and what is known now.
    QByteArray render() const;

    // The pages that are only a status text.
    static QByteArray loadingPage();
    static QByteArray notInDatabasePage();

private:
    // Removes one occurrence of the comment number id names (0 when none); false when not pending.
    bool takePending(const QByteArray &id);

    const PageTemplates templates;
    const bool showImages;
    QByteArray messageId;
    QByteArray nzbMessageId;
    qint64 size = 0;
    QString newsgroup;
    QString image;
    QString website;
    QByteArray descriptionHtml;
    QByteArray commentsHtml;
    QStringList fileNames;
    QString spotNewsgroup;     // as the spot XML gives them, where every NZB read starts
    QStringList spotFileNames;
    QList<qint32> pending;
    CommentRenderer comments;
};
