#include "categoryscheme.h"
#include "testmain.h"

class TestCategoryScheme : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shortCategoryName_data();
    void shortCategoryName();
    void eroticSubcategory_data();
    void eroticSubcategory();
    void isEroticSubcategory_data();
    void isEroticSubcategory();
    void treeCodesInOrder();
    void codesWithoutTreeItem();
};

void TestCategoryScheme::shortCategoryName_data()
{
    QTest::addColumn<int>("subcat");
    QTest::addColumn<QString>("name");

    QTest::newRow("divx") << 100 << QStringLiteral("DivX");
    QTest::newRow("blu-ray") << 106 << QStringLiteral("BRD");
    QTest::newRow("hd-without-tree-item") << 107 << QStringLiteral("HD");
    QTest::newRow("wmv-hd") << 108 << QStringLiteral("HD");
    QTest::newRow("game-phone") << 313 << QStringLiteral("WP7");
    QTest::newRow("application-phone") << 404 << QStringLiteral("WP7");
    QTest::newRow("game-ios") << 314 << QStringLiteral("iOs");
    QTest::newRow("application-ios") << 406 << QStringLiteral("Ios");
    QTest::newRow("os2") << 403 << QStringLiteral("OS2");
    QTest::newRow("bi") << 903 << QStringLiteral("Bi XXX");
    QTest::newRow("unknown-image-code") << 111 << QStringLiteral("???");
    QTest::newRow("unknown-game-code") << 316 << QStringLiteral("???");
    QTest::newRow("category-code") << 1 << QStringLiteral("???");
    QTest::newRow("new-erotic-list") << -9 << QStringLiteral("???");
}

void TestCategoryScheme::shortCategoryName()
{
    QFETCH(int, subcat);
    QFETCH(QString, name);
    QCOMPARE(CategoryScheme::shortCategoryName(subcat), name);
}

void TestCategoryScheme::eroticSubcategory_data()
{
    QTest::addColumn<int>("genre");
    QTest::addColumn<int>("subcat");
    QTest::addColumn<QString>("name");

    QTest::newRow("first-genre") << 0 << 900 << QStringLiteral("XXX");
    QTest::newRow("last-genre") << CategoryScheme::eroticGenreCount - 1 << 903 << QStringLiteral("Bi XXX");
}

void TestCategoryScheme::eroticSubcategory()
{
    QFETCH(int, genre);
    QFETCH(int, subcat);
    QFETCH(QString, name);
    QCOMPARE(CategoryScheme::eroticSubcategory(genre), subcat);
    QCOMPARE(CategoryScheme::eroticGenre(subcat), genre);
    QCOMPARE(CategoryScheme::shortCategoryName(subcat), name);
}

void TestCategoryScheme::isEroticSubcategory_data()
{
    QTest::addColumn<int>("subcat");
    QTest::addColumn<bool>("erotic");

    QTest::newRow("hetero") << 900 << true;
    QTest::newRow("bi") << 903 << true;
    QTest::newRow("last-application") << 407 << false;
    QTest::newRow("erotic-category-code") << CategoryScheme::erotic << false;
    QTest::newRow("new-erotic-list") << CategoryScheme::newEroticSpots << false;
}

void TestCategoryScheme::isEroticSubcategory()
{
    QFETCH(int, subcat);
    QFETCH(bool, erotic);
    QCOMPARE(CategoryScheme::isEroticSubcategory(subcat), erotic);
}

void TestCategoryScheme::treeCodesInOrder()
{
    QList<QList<int>> tree; // per top-level item: its code, then its children's codes
    for (const CategoryScheme::Entry &entry : CategoryScheme::entries()) {
        if (!entry.treeText)
            continue;
        if (entry.topLevel)
            tree.append(QList<int>());
        QVERIFY(!tree.isEmpty());
        tree.last().append(entry.code);
    }
    QCOMPARE(tree,
             (QList<QList<int>>{
                 {-1},
                 {0},
                 {1, 100, 101, 102, 103, 110, 109, 104, 106, 108, 105},
                 {2, 200, 202, 204, 205, 206, 208},
                 {3, 300, 301, 302, 303, 304, 312, 305, 306, 307, 310, 311, 313, 314, 315},
                 {4, 400, 401, 402, 404, 405, 406, 407},
                 {9, -9, 900, 901, 902, 903},
             }));
}

void TestCategoryScheme::codesWithoutTreeItem()
{
    QList<int> codes;
    for (const CategoryScheme::Entry &entry : CategoryScheme::entries()) {
        if (!entry.treeText)
            codes.append(entry.code);
    }
    QCOMPARE(codes, (QList<int>{107, 201, 203, 207, 308, 309, 403}));
}

TARNWICK_TEST_MAIN(TestCategoryScheme)
#include "tst_categoryscheme.moc"
