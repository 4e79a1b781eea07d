#include "messageboxes.h"
#include "testmain.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>

// The real boxes, as the user meets them: a text that looks like markup is shown as written.
class TestMessageBoxes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void markupIsShownAsWritten_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("critical") << int(MessageBoxes::Kind::Critical);
        QTest::newRow("information") << int(MessageBoxes::Kind::Information);
        QTest::newRow("question") << int(MessageBoxes::Kind::Question);
        QTest::newRow("about") << int(MessageBoxes::Kind::About);
    }
    // clang-format on

    void markupIsShownAsWritten()
    {
        QFETCH(int, kind);
        const QString text = QStringLiteral("<b>vet</b><img src=\"http://127.0.0.1/x\"><a href=\"x\">klik</a>");
        Qt::TextFormat format = Qt::AutoText;
        QString shown;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            format = box->textFormat();
            for (const QLabel *label : box->findChildren<QLabel *>()) {
                if (label->text() == text)
                    shown = label->text();
            }
            box->done(QMessageBox::No);
        });
        switch (MessageBoxes::Kind(kind)) {
        case MessageBoxes::Kind::Critical:
            MessageBoxes::critical(nullptr, QStringLiteral("Error"), text);
            break;
        case MessageBoxes::Kind::Information:
            MessageBoxes::information(nullptr, QStringLiteral("Info"), text);
            break;
        case MessageBoxes::Kind::Question:
            QVERIFY(!MessageBoxes::question(nullptr, QStringLiteral("Vraag"), text));
            break;
        case MessageBoxes::Kind::About:
            MessageBoxes::about(nullptr, QStringLiteral("Over"), text);
            break;
        }
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shown, text);
    }
};

TARNWICK_TEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
