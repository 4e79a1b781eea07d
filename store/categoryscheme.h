#pragma once

#include <QString>

#include <vector>

// The table of category codes: the category tree's items, texts and order, the short names
// the spot list shows, and the tree codes that are no category. The rule: a category code is
// written only through this scheme (its constants and entries), never as a bare number elsewhere.
namespace CategoryScheme {

// Tree codes that are no category.
inline constexpr int newSpots = -1;
inline constexpr int allSpots = 0;
inline constexpr int newEroticSpots = -9;
inline constexpr int erotic = 9;
// Tree codes from here up select a sub-category; below, a category.
inline constexpr int firstSubcategory = 100;
// The main category whose spots turn erotic when a genre mark says so ("Beeld").
inline constexpr int image = 1;
// Erotic genres, each with its sub-category code: "Hetero", "Homo", "Lesbo", "Bi".
inline constexpr int eroticGenreCount = 4;
inline constexpr int firstEroticSubcategory = 900;
// The further codes of the category block that make an image spot erotic, one per genre.
inline constexpr const char *eroticGenreMarks[eroticGenreCount] = {"d23", "d24", "d25", "d26"};

struct Entry
{
    int code;
    const char *treeText; // untranslated, context "MainWindow", the tree's owner; nullptr: no tree item
    const char *shortName; // nullptr: "???"
    bool topLevel; // starts a top-level tree item; the entries after it are its children
};

// Every code in tree order; codes without a tree item come last.
const std::vector<Entry> &entries();

// The list's short name of a sub-category code, "???" for a code without one.
QString shortCategoryName(int subcat);
// The tree's (translated) name of a main category code, e.g. "Beeld"; empty for another code.
QString categoryName(int cat);

// Whether a main category code is the erotic one; those spots are kept apart from the others.
constexpr bool isErotic(int cat)
{
    return cat == erotic;
}
// Whether a sub-category code is one of the erotic genres (or past them).
constexpr bool isEroticSubcategory(int subcat)
{
    return subcat >= firstEroticSubcategory;
}
// Whether a tree code (a category, a sub-category, or "Nieuw" under "Erotiek") selects erotic spots.
constexpr bool isEroticTreeCode(int code)
{
    return isErotic(code) || isEroticSubcategory(code) || code == newEroticSpots;
}
// The sub-category code of erotic genre 0 .. eroticGenreCount - 1, and back.
constexpr int eroticSubcategory(int genre)
{
    return firstEroticSubcategory + genre;
}
constexpr int eroticGenre(int subcat)
{
    return subcat - firstEroticSubcategory;
}

} // namespace CategoryScheme
