#include "commentrenderer.h"
#include "testmain.h"

namespace {

const QByteArray commentTemplate = "<{name}:{comment}>";

QByteArray comment(const QByteArray &from, const QByteArray &text, bool isSigned = true)
{
    return "From: " + from + "\r\nSubject: Re: spot\r\n" + (isSigned ? "X-User-Signature: c2ln\r\n" : "")
        + "Message-ID: <r@free.usenet>\r\n\r\n" + text + "\r\n.\r\n";
}

} // namespace

class TestCommentRenderer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fragments_data()
    {
        QTest::addColumn<QByteArray>("article");
        QTest::addColumn<QByteArray>("fragment");
        QTest::newRow("text-as-written") << comment("Jan <jan@example>", "Mooi\r\n..dank")
                                         << QByteArray("<Jan:Mooi\r\n.dank\r\n>");
        QTest::newRow("empty-text") << comment("Jan <jan@example>", "").replace("\r\n\r\n\r\n", "\r\n\r\n")
                                    << QByteArray("<Jan:>");
        QTest::newRow("unsigned-not-shown") << comment("Jan <jan@example>", "Mooi", false) << QByteArray();
        QTest::newRow("signature-needs-its-space")
            << QByteArray("From: Jan <j@x>\r\nX-User-Signature:c2ln\r\n\r\nMooi\r\n.\r\n") << QByteArray();
        QTest::newRow("address-only-gives-dash") << comment("jan@example", "Mooi") << QByteArray("<-:Mooi\r\n>");
        QTest::newRow("later-from-line-wins")
            << QByteArray("From: Jan <j@x>\r\nFrom: Piet <p@x>\r\nX-User-Signature: c2ln\r\n\r\nMooi")
            << QByteArray("<Piet:Mooi>");
        QTest::newRow("no-header-end") << QByteArray("From: Jan <j@x>\r\nX-User-Signature: c2ln\r\nMooi\r\n.\r\n")
                                       << QByteArray();
        QTest::newRow("name-naming-the-comment-shows-as-written")
            << comment("{comment} <j@x>", "Mooi") << QByteArray("<{comment}:Mooi\r\n>");
    }

    void fragments()
    {
        QFETCH(QByteArray, article);
        QFETCH(QByteArray, fragment);
        CommentRenderer renderer;
        QCOMPARE(renderer.render(article, commentTemplate), fragment);
    }

    void sameNameAndTextShownOnce()
    {
        CommentRenderer renderer;
        QCOMPARE(renderer.render(comment("Jan <j@x>", "Mooi"), commentTemplate), QByteArray("<Jan:Mooi\r\n>"));
        QTest::ignoreMessage(QtDebugMsg, "Dubbele reactie verwijderd");
        QCOMPARE(renderer.render(comment("Jan <other@x>", "Mooi"), commentTemplate), QByteArray());
        QCOMPARE(renderer.render(comment("Piet <j@x>", "Mooi"), commentTemplate), QByteArray("<Piet:Mooi\r\n>"));
        QCOMPARE(renderer.render(comment("Jan <j@x>", "Anders"), commentTemplate),
                 QByteArray("<Jan:Anders\r\n>"));
        // An unsigned comment leaves no trace: its signed twin is still shown.
        CommentRenderer fresh;
        QCOMPARE(fresh.render(comment("Jan <j@x>", "Mooi", false), commentTemplate), QByteArray());
        QCOMPARE(fresh.render(comment("Jan <j@x>", "Mooi"), commentTemplate), QByteArray("<Jan:Mooi\r\n>"));
    }
};

TARNWICK_TEST_MAIN(TestCommentRenderer)
#include "tst_commentrenderer.moc"
