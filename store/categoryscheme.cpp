#include "categoryscheme.h"

#include <QCoreApplication>

namespace CategoryScheme {

const std::vector<Entry> &entries()
{
    static const std::vector<Entry> table = {
        {newSpots, QT_TRANSLATE_NOOP("MainWindow", "Nieuw"), nullptr, true},
        {allSpots, QT_TRANSLATE_NOOP("MainWindow", "Alles"), nullptr, true},
        {1, QT_TRANSLATE_NOOP("MainWindow", "Beeld"), nullptr, true},
        {100, QT_TRANSLATE_NOOP("MainWindow", "DivX"), "DivX", false},
        {101, QT_TRANSLATE_NOOP("MainWindow", "WMV"), "WMV", false},
        {102, QT_TRANSLATE_NOOP("MainWindow", "MPG"), "MPG", false},
        {103, QT_TRANSLATE_NOOP("MainWindow", "DVD5"), "DVD5", false},
        {110, QT_TRANSLATE_NOOP("MainWindow", "DVD9"), "DVD9", false},
        {109, QT_TRANSLATE_NOOP("MainWindow", "x264"), "x264", false},
        {104, QT_TRANSLATE_NOOP("MainWindow", "HD"), "HD", false},
        {106, QT_TRANSLATE_NOOP("MainWindow", "Blu-ray"), "BRD", false},
        {108, QT_TRANSLATE_NOOP("MainWindow", "WMV-HD"), "HD", false},
        {105, QT_TRANSLATE_NOOP("MainWindow", "Afbeeldingen"), "IMG", false},
        {2, QT_TRANSLATE_NOOP("MainWindow", "Geluid"), nullptr, true},
        {200, QT_TRANSLATE_NOOP("MainWindow", "MP3"), "MP3", false},
        {202, QT_TRANSLATE_NOOP("MainWindow", "WAV"), "WAV", false},
        {204, QT_TRANSLATE_NOOP("MainWindow", "Lossless"), "LL", false},
        {205, QT_TRANSLATE_NOOP("MainWindow", "DTS"), "DTS", false},
        {206, QT_TRANSLATE_NOOP("MainWindow", "AAC"), "AAC", false},
        {208, QT_TRANSLATE_NOOP("MainWindow", "FLAC"), "FLAC", false},
        {3, QT_TRANSLATE_NOOP("MainWindow", "Spelletjes"), nullptr, true},
        {300, QT_TRANSLATE_NOOP("MainWindow", "Windows"), "Win", false},
        {301, QT_TRANSLATE_NOOP("MainWindow", "Mac"), "Mac", false},
        {302, QT_TRANSLATE_NOOP("MainWindow", "Linux"), "Linux", false},
        {303, QT_TRANSLATE_NOOP("MainWindow", "Playstation"), "PSX", false},
        {304, QT_TRANSLATE_NOOP("MainWindow", "Playstation 2"), "PS2", false},
        {312, QT_TRANSLATE_NOOP("MainWindow", "Playstation 3"), "PS3", false},
        {305, QT_TRANSLATE_NOOP("MainWindow", "PSP"), "PSP", false},
        {306, QT_TRANSLATE_NOOP("MainWindow", "XBox"), "XBox", false},
        {307, QT_TRANSLATE_NOOP("MainWindow", "XBox 360"), "360", false},
        {310, QT_TRANSLATE_NOOP("MainWindow", "Nintendo DS"), "NDS", false},
        {311, QT_TRANSLATE_NOOP("MainWindow", "Nintendo Wii"), "Wii", false},
        {313, QT_TRANSLATE_NOOP("MainWindow", "Phone"), "WP7", false},
        {314, QT_TRANSLATE_NOOP("MainWindow", "IOs"), "iOs", false},
        {315, QT_TRANSLATE_NOOP("MainWindow", "Android"), "Android", false},
        {4, QT_TRANSLATE_NOOP("MainWindow", "Applicaties"), nullptr, true},
        {400, QT_TRANSLATE_NOOP("MainWindow", "Windows"), "Win", false},
        {401, QT_TRANSLATE_NOOP("MainWindow", "Mac"), "Mac", false},
        {402, QT_TRANSLATE_NOOP("MainWindow", "Linux"), "Linux", false},
        {404, QT_TRANSLATE_NOOP("MainWindow", "Phone"), "WP7", false},
        {405, QT_TRANSLATE_NOOP("MainWindow", "Navigatie"), "Nav", false},
        {406, QT_TRANSLATE_NOOP("MainWindow", "iOS"), "Ios", false},
        {407, QT_TRANSLATE_NOOP("MainWindow", "Android"), "Android", false},
        {erotic, QT_TRANSLATE_NOOP("MainWindow", "Erotiek"), nullptr, true},
        {newEroticSpots, QT_TRANSLATE_NOOP("MainWindow", "Nieuw"), nullptr, false},
        {900, QT_TRANSLATE_NOOP("MainWindow", "Hetero"), "XXX", false},
        {901, QT_TRANSLATE_NOOP("MainWindow", "Homo"), "Gay", false},
        {902, QT_TRANSLATE_NOOP("MainWindow", "Lesbo"), "Lesbo", false},
        {903, QT_TRANSLATE_NOOP("MainWindow", "Bi"), "Bi XXX", false},
        // Short names of codes that no tree item selects.
        {107, nullptr, "HD", false},
        {201, nullptr, "WMA", false},
        {203, nullptr, "OGG", false},
        {207, nullptr, "APE", false},
        {308, nullptr, "GBA", false},
        {309, nullptr, "GC", false},
        {403, nullptr, "OS2", false},
    };
    return table;
}

QString shortCategoryName(int subcat)
{
    for (const Entry &entry : entries()) {
        if (entry.code == subcat && entry.shortName)
            return QString::fromLatin1(entry.shortName);
    }
    return QStringLiteral("???");
}

QString categoryName(int cat)
{
    for (const Entry &entry : entries()) {
        if (entry.code == cat && entry.topLevel && entry.treeText && cat > allSpots && cat < firstSubcategory)
            return QCoreApplication::translate("MainWindow", entry.treeText);
    }
    return {};
}

} // namespace CategoryScheme
