#include "newspotssummary.h"
#include "newspotstray.h"
#include "testmain.h"

#include <QSystemTrayIcon>

using Filters = QList<FilterNewSpots>;

Q_DECLARE_METATYPE(Filters)

// The texts and the badge of the notification and the tray icon.
class TestNewSpotsSummary : public QObject
{
    Q_OBJECT

private:
    static FilterNewSpots filter(qint64 id, const char *name, int count)
    {
        return {id, QString::fromUtf8(name), count};
    }
    static QImage plainIcon()
    {
        QImage icon(64, 64, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::darkGreen);
        return icon;
    }

private Q_SLOTS:
    // The rows stay as laid out, one case a row.
    // clang-format off
    void texts_data()
    {
        QTest::addColumn<Filters>("filters");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("none") << Filters{} << 0 << "" << "0 nieuwe spots in gemelde filters";
        QTest::newRow("one-spot") << Filters{filter(1, "Linux", 1)} << 1 << "Linux (1)"
                                  << "1 nieuwe spot in gemelde filters\nLinux (1)";
        QTest::newRow("two-filters-in-order") << Filters{filter(7, "HD films", 12), filter(9, "Linux", 3)} << 15
                                              << "HD films (12), Linux (3)"
                                              << "15 nieuwe spots in gemelde filters\nHD films (12)\nLinux (3)";
        QTest::newRow("filter-without-new-spots-left-out") << Filters{filter(1, "Leeg", 0), filter(2, "Boeken", 2)} << 2
                                                           << "Boeken (2)"
                                                           << "2 nieuwe spots in gemelde filters\nBoeken (2)";
        QTest::newRow("markup-in-a-name-escaped-in-the-body") << Filters{filter(1, "<b>Tom & Jerry</b>", 4)} << 4
                                                              << "&lt;b&gt;Tom &amp; Jerry&lt;/b&gt; (4)"
                                                              << "4 nieuwe spots in gemelde filters\n<b>Tom & Jerry</b> (4)";
        QTest::newRow("entity-in-a-name-stays-text") << Filters{filter(1, "R&amp;B", 1)} << 1 << "R&amp;amp;B (1)"
                                                     << "1 nieuwe spot in gemelde filters\nR&amp;B (1)";
        QTest::newRow("quotes-kept") << Filters{filter(1, "\"Docu's\"", 2)} << 2 << "\"Docu's\" (2)"
                                     << "2 nieuwe spots in gemelde filters\n\"Docu's\" (2)";
        QTest::newRow("negative-count-counts-nothing") << Filters{filter(1, "Raar", -5), filter(2, "Linux", 3)} << 3
                                                       << "Linux (3)" << "3 nieuwe spots in gemelde filters\nLinux (3)";
    }
    // clang-format on

    void texts()
    {
        QFETCH(Filters, filters);
        QFETCH(int, total);
        QFETCH(QString, body);
        QFETCH(QString, toolTip);
        QCOMPARE(NewSpotsSummary::total(filters), total);
        QCOMPARE(NewSpotsSummary::notificationBody(filters), body);
        QCOMPARE(NewSpotsSummary::toolTip(filters), toolTip);
    }

    void theBadgeShowsTheNumber()
    {
        const QImage icon = plainIcon();
        QCOMPARE(NewSpotsSummary::badged(icon, 0), icon);
        const QImage seven = NewSpotsSummary::badged(icon, 7);
        QCOMPARE(seven.size(), icon.size());
        QCOMPARE(seven.pixelColor(4, 4), icon.pixelColor(4, 4)); // upper left stays the icon
        QVERIFY(seven.pixelColor(60, 40) != icon.pixelColor(60, 40)); // lower right is the badge
        QVERIFY(NewSpotsSummary::badged(icon, 8) != seven);
        QCOMPARE(NewSpotsSummary::badged(icon, 100), NewSpotsSummary::badged(icon, 5000)); // both "99+"
    }

    // The test's platform has no tray: the icon is never created, whatever it is fed.
    void withoutATrayNothingIsShown()
    {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        NewSpotsTray tray(QIcon(QPixmap::fromImage(plainIcon())));
        tray.show({{7, QStringLiteral("HD films"), 12}});
        QVERIFY(!tray.isShown());
    }
};

TARNWICK_TEST_MAIN(TestNewSpotsSummary)
#include "tst_newspotssummary.moc"
