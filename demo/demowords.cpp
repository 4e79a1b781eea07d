#include "demowords.h"

#include "demorandom.h"

namespace DemoWords {

const QByteArray &pick(DemoRandom &random, const QList<QByteArray> &words)
{
    return words.at(random.bounded(int(words.size())));
}

const QList<QByteArray> &posters()
{
    static const QList<QByteArray> words = {
        "Zoë",      "René",   "Jörg",  "Anaïs",  "Noël",       "Daan",   "Marloes",    "Sjaak",
        "Femke",    "Joël",   "Chloë", "Inès",   "Bram",       "Sanne",  "Thijs",      "Eefje",
        "Ruud",     "Gérard", "Loïs",  "Wouter", "Maëlle",     "Kees",   "Jeroen",     "Françoise",
        "Mübeccel", "Søren",  "Björn", "Ilse",   "Pieter-Jan", "Hélène", "Spotter_NL", "DeFilmBoer",
    };
    return words;
}

const QList<QByteArray> &filmTitles()
{
    static const QList<QByteArray> words = {
        "De Vuurtoren aan Zee",
        "Het Geheim van René",
        "Zoë's Zomer",
        "Café de Flore",
        "De Façade",
        "Noorderlicht",
        "Storm over Texel",
        "De Polderjongens",
        "Achter de Dijk",
        "Het Laatste Veer",
        "Kruispunt Utrecht",
        "Gebroken Glas",
        "De Zeeuwse Kust",
        "Winter in Groningen",
        "Hotel Émile",
        "Het Meisje met de Fiets",
        "Over de Grens",
        "De Stille Haven",
        "東京物語",
        "Nachtwacht",
        "De Molenaar",
        "Spoorloos in Friesland",
        "Eiland der Verloren Zielen",
        "De Erfenis van Anaïs",
        "Crème Brûlée",
        "Koud Bloed",
        "Duinzicht",
    };
    return words;
}

const QList<QByteArray> &artists()
{
    static const QList<QByteArray> words = {
        "De Kast",
        "Björk",
        "Mathilde Santing",
        "Zoë Tauran",
        "Het Goede Doel",
        "Rammstein",
        "Ilse DeLange",
        "Céline Dion",
        "Doe Maar",
        "Stromae",
        "Sigur Rós",
        "坂本龍一",
        "Anouk",
        "Boudewijn de Groot",
        "Within Temptation",
    };
    return words;
}

const QList<QByteArray> &albums()
{
    static const QList<QByteArray> words = {
        "Live in Paradiso", "Greatest Hits", "Noorderzon",  "Fête de la Musique", "De Allerbeste",  "Unplugged",
        "Zomeravond",       "Ágætis byrjun", "Winterlicht", "Het Concert",        "Jubileumeditie", "Ongehoord",
    };
    return words;
}

const QList<QByteArray> &games()
{
    static const QList<QByteArray> words = {
        "Polder Tycoon",  "Race naar Zandvoort", "Kasteel Duisterburg", "Fietskoerier Simulator",
        "Ridders van Ré", "Tulpenkoorts",        "De Hollandse Vloot",  "Dijkgraaf 2",
        "Ruimteveer Zoë", "Schaak Meester",      "Voetbal Manager",
    };
    return words;
}

const QList<QByteArray> &applications()
{
    static const QList<QByteArray> words = {
        "Kantoorpakket",       "FotoStudio",       "Boekhouder Plus", "Kaartlezer Navigatie",
        "Videobewerker",       "Virusscanner",     "Muziekspeler",    "Belastingaangifte",
        "Taalcursus Français", "Schijfhersteller", "Planningsbord",
    };
    return words;
}

const QList<QByteArray> &descriptionSentences()
{
    static const QList<QByteArray> words = {
        "Een [b]prachtige[/b] uitgave, met Nederlandse ondertitels.",
        "Beeld en geluid zijn [i]uitstekend[/i], geen haperingen.",
        "Uitpakken met een programma dat RAR-archieven kent; de .par2-bestanden herstellen wat ontbreekt.",
        "Gecontroleerd op virussen &amp; volledig getest.&lt;br /&gt;",
        "Geplaatst door een vaste spotter, zie ook mijn andere spots.",
        "[u]Let op:[/u] de .nfo bevat de volledige lijst met nummers.",
        "Met dank aan de oorspronkelijke uploader &amp;#233;&amp;#233;n van de besten.",
        "Kwaliteit: 10/10 &amp;quot;aanrader&amp;quot;.",
        "Taal: Nederlands, Engels en Français.[br]Ondertitels: NL, EN.",
        "Ideaal voor een regenachtige zondag op de bank.",
        "De bestanden zijn gesplitst in delen van 50 MB.&amp;lt;br /&amp;gt;",
        "Naam van de maker: René &amp; Zoë.",
    };
    return words;
}

const QList<QByteArray> &commentSentences()
{
    static const QList<QByteArray> words = {
        "Dank je wel voor deze spot!",
        "Werkt prima, alles in één keer uitgepakt.",
        "Top, [b]bedankt[/b]!",
        "Deel 3 mist bij mij, maar de par2 herstelde het.",
        "Geluid loopt niet helemaal gelijk.",
        "Mooie kwaliteit, aanrader.",
        "Is dit de versie met Nederlandse ondertitels?",
        "Eindelijk, hier zocht ik naar.",
        "Geen virus gevonden, netjes.",
        "[i]Prachtig[/i] gedaan, dank aan de spotter.",
        "Crème de la crème!",
        "Helaas incompleet bij mijn provider.",
        "Ça marche très bien, merci!",
    };
    return words;
}

} // namespace DemoWords
