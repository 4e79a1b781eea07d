#include "commentrenderer.h"
#include "testmain.h"

namespace {

const QByteArray commentTemplate = "<{name}:{comment}>";
const QByteArray spotId = "k3y@free.pt";
const QByteArray onSpot = "References: <k3y@free.pt>\r\n";

QByteArray comment(const QByteArray &from, const QByteArray &text, bool isSigned = true,
                   const QByteArray &references = onSpot)
{
    return "From: " + from + "\r\nSubject: Re: spot\r\n" + (isSigned ? "X-User-Signature: c2ln\r\n" : "") + references
        + "Message-ID: <r@free.usenet>\r\n\r\n" + text + "\r\n.\r\n";
}

} // namespace

class TestCommentRenderer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
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
            << QByteArray("From: Jan <j@x>\r\nX-User-Signature:c2ln\r\n" + onSpot + "\r\nMooi\r\n.\r\n")
            << QByteArray();
        QTest::newRow("address-only-gives-dash") << comment("jan@example", "Mooi") << QByteArray("<-:Mooi\r\n>");
        QTest::newRow("later-from-line-wins")
            << QByteArray("From: Jan <j@x>\r\nFrom: Piet <p@x>\r\nX-User-Signature: c2ln\r\n" + onSpot + "\r\nMooi")
            << QByteArray("<Piet:Mooi>");
        QTest::newRow("no-header-end")
            << QByteArray("From: Jan <j@x>\r\nX-User-Signature: c2ln\r\n" + onSpot + "Mooi\r\n.\r\n")
            << QByteArray();
        QTest::newRow("name-naming-the-comment-shows-as-written")
            << comment("{comment} <j@x>", "Mooi") << QByteArray("<{comment}:Mooi\r\n>");
        // Fetched by number: the article that number names now may be about another spot.
        const QByteArray shown("<Jan:Mooi\r\n>");
        const auto on = [](const QByteArray &references) { return comment("Jan <j@x>", "Mooi", true, references); };
        QTest::newRow("without-references") << on({}) << QByteArray();
        QTest::newRow("references-another-spot") << on("References: <k3yx@free.pt>\r\n") << QByteArray();
        QTest::newRow("references-key-without-brackets") << on("References: k3y@free.pt\r\n") << QByteArray();
        QTest::newRow("references-spot-key-inside-another-id") << on("References: <a<k3y@free.pt>\r\n") << QByteArray();
        QTest::newRow("references-in-another-header") << on("X-References: <k3y@free.pt>\r\n") << QByteArray();
        QTest::newRow("references-among-others") << on("References: <a@x> <k3y@free.pt>\t<b@y>\r\n") << shown;
        QTest::newRow("references-folded") << on("References: <a@x>\r\n <k3y@free.pt>\r\n") << shown;
        QTest::newRow("folded-line-of-another-header")
            << on("Subject: x\r\n <k3y@free.pt>\r\nReferences: <a@x>\r\n") << QByteArray();
    }
    // clang-format on

    void fragments()
    {
        QFETCH(QByteArray, article);
        QFETCH(QByteArray, fragment);
        CommentRenderer renderer;
        QCOMPARE(renderer.render(article, commentTemplate, spotId), fragment);
    }

    void sameNameAndTextShownOnce()
    {
        CommentRenderer renderer;
        QCOMPARE(renderer.render(comment("Jan <j@x>", "Mooi"), commentTemplate, spotId), QByteArray("<Jan:Mooi\r\n>"));
        QTest::ignoreMessage(QtDebugMsg, "Dubbele reactie verwijderd");
        QCOMPARE(renderer.render(comment("Jan <other@x>", "Mooi"), commentTemplate, spotId), QByteArray());
        QCOMPARE(renderer.render(comment("Piet <j@x>", "Mooi"), commentTemplate, spotId),
                 QByteArray("<Piet:Mooi\r\n>"));
        QCOMPARE(renderer.render(comment("Jan <j@x>", "Anders"), commentTemplate, spotId),
                 QByteArray("<Jan:Anders\r\n>"));
        // An unsigned comment leaves no trace: its signed twin is still shown.
        CommentRenderer fresh;
        QCOMPARE(fresh.render(comment("Jan <j@x>", "Mooi", false), commentTemplate, spotId), QByteArray());
        QCOMPARE(fresh.render(comment("Jan <j@x>", "Mooi"), commentTemplate, spotId), QByteArray("<Jan:Mooi\r\n>"));
    }
};

TARNWICK_TEST_MAIN(TestCommentRenderer)
#include "tst_commentrenderer.moc"
