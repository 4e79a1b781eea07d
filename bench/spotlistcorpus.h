#pragma once

#include <QString>

// Stores of one or more million generated spots for the spot list figures. Each is written
// once, the way the download writes it (through SpotStore, 50,001 spots per transaction,
// erotic ones in erospots; titles as ASCII, UTF-8 or Latin-1 bytes or as decoded text,
// spotters partly in UTF-8), and kept in the bench's cache folder for later runs. In smoke
// mode a "million" is spotsPerMillion() spots, written anew into a temporary folder each run.
namespace SpotListCorpus {

// Search words: in one title of 100,000 (of 1,000 in smoke mode); in about one of six; in none;
// and a two-letter word in about one of six.
inline constexpr char rareWord[] = "Vuurtoren";
inline constexpr char commonWord[] = "1080p";
inline constexpr char noWord[] = "Zeppelinwerf";
inline constexpr char shortWord[] = "nl";
// The category with the most spots.
inline constexpr int largestCategory = 1;

// The spots of a store of one million: a million, or 10,000 in smoke mode (enough for a whole
// window at nine tenths of the list).
qint64 spotsPerMillion();

// Points the program's data location (and its settings) into the bench's cache folder, at
// the store of that many million spots, generating it first when it is not there yet.
// Returns the path of its spots.db.
QString useStore(int millions);

} // namespace SpotListCorpus
