#pragma once

#include <QString>

// Stores of one or more million generated spots for the spot list figures. Each is written
// once, the way the download writes it (through SpotStore, 50,001 spots per transaction,
// erotic ones in erospots, titles as bytes or as decoded text), and kept in the bench's
// cache folder for later runs.
namespace SpotListCorpus {

// Search words: in one title of 100,000, and in about one of six.
inline constexpr char rareWord[] = "Vuurtoren";
inline constexpr char commonWord[] = "1080p";
// The category with the most spots.
inline constexpr int largestCategory = 1;

// Points the program's data location (and its settings) into the bench's cache folder, at
// the store of that many million spots, generating it first when it is not there yet.
// Returns the path of its spots.db.
QString useStore(int millions);

} // namespace SpotListCorpus
