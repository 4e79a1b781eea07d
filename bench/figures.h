#pragma once

// Each figure is measured by one function in a bench_*.cpp file and listed in main.cpp.
// A function builds its own data, checks that the work really happened, and returns the value.
// The sizes and run counts below are those of a full run; --smoke shrinks them (benchsupport.h).

double yencDecodeMBps();
double crc32MBps();
double crc32CachedMBps();
double xzverDecodeInflateMBps();
// SpotNNTP reading 200,000 overview lines of 530 bytes from the test server to headerLine.
double clientOverviewLinesPerSecond();

// The spot list over a generated store of millions spots, in milliseconds: through the
// controller and SpotsModel (its index built), or (CApi) the statements the list ran before
// it had an index, through SQLite's C API. Cold: the store's pages forgotten before each run.
enum class SpotListStep { WindowAtOffset0, WindowAtOffset900000, WindowAtLastOffset, TreeItem, StartupToFirstRows };
enum class SpotListPath { Model, CApi };
enum class SpotListWord { Rare, Common, None, Short };
double spotListMs(int millions, SpotListStep step, SpotListPath path, bool cold);
// A search: until its first rows show, or until its count is known.
double spotSearchMs(int millions, SpotListWord word, bool count, SpotListPath path, bool cold);
// The list's index: seconds from start-up until it is in use (after the store's pages were
// forgotten: cold), megabytes it holds, megabytes the process grew by for it; and for a range
// of 50,001 new spots, the milliseconds until the list shows them after newSpots(), and the
// longest the window's thread was busy at once meanwhile (the worst of three ranges).
enum class SpotIndexFigure {
    BuildSeconds,
    BuildSecondsCold,
    IndexMegabytes,
    ModelMemoryMegabytes,
    NewRangeShownMilliseconds,
    NewRangeLongestBusyMilliseconds,
};
double spotIndexFigure(int millions, SpotIndexFigure figure);
// "Alles" sorted by the index (as the model is to sort it): milliseconds until the ids of its
// first window are known, by title the first time after the index was read and again, and by
// date (again and by date: the slower direction).
// By size: the model itself sorting "Alles" by the sizes of a details file filled for the
// store (nine spots of ten with a size), until its first row shows, the slower direction: from
// newest first (SizeMs: the sizes read from the file), or from the other direction
// (SizeAgainMs: the order kept).
enum class SpotSortFigure { TitleFirstMs, TitleAgainMs, DateMs, SizeMs, SizeAgainMs };
double spotSortFigure(int millions, SpotSortFigure figure);

// Closes the store that the figures above keep open: the program's connections have fixed
// names, and a second program in this process would take them over.
void closeSpotListStore();

// The saved filters of the spot list over that store, in milliseconds. A range of 50,001 new
// spots arrives (one transaction) while 20 saved filters are counted (SavedFilterCounts): from
// newSpots() until every filter is counted (Counts), or until the list showed the range and the
// counting began (CountsIndex); the longest pass of the event loop while counting (CountsBusy)
// and before it (CountsIndexBusy), seen by a call that posts itself again; the longest gap
// between the ticks of a 1 ms timer from newSpots() until counted (CountsTimerGap: Qt runs
// timers only when no posted event waits); the worst of a few ranges. The slowest
// of the 20 to open until its first rows and count (Open), or its search text alone
// (OpenSearchAlone). Two spotters hidden on "Alles" (HideSpotter), or shown again (ShowSpotter).
enum class FilterFigure {
    CountsMs,
    CountsIndexMs,
    CountsBusyMs,
    CountsIndexBusyMs,
    CountsTimerGapMs,
    OpenMs,
    OpenSearchAloneMs,
    HideSpotterMs,
    ShowSpotterMs,
};
double filterFigure(int millions, FilterFigure figure);

// The download of 200,000 spot headers (four ranges, 1% reposts) from the in-process server
// into a store that already holds storedMillions million spots: headers per second through
// the program over XOVER or XZVER, rows per second of the same duplicate tests and inserts
// straight through SQLite's C API (the limit), and the program's time over the limit's.
enum class SyncFigure { HeadersPerSecondXover, HeadersPerSecondXzver, LimitRowsPerSecond, RatioXover, RatioXzver };
double syncFigure(SyncFigure figure, int storedMillions);
template<SyncFigure figure, int storedMillions>
double syncFigure()
{
    return syncFigure(figure, storedMillions);
}

// A typical spot (spotpagecorpus.h): its page built from the spot article, the NZB and the
// comments without a web view (median, milliseconds), and an NZB article of 5 MB read
// (megabytes of article per second).
double spotPageBuildMs();
double nzbReadMBps();
double nzbFilesReadPerSecond();

// From the click on that spot (a new SpotView, every article from the cache) to the load of
// its whole page in the web view, in milliseconds: the first page of the process, or the
// median of the 5th to the 9th.
enum class SpotPageShown { First, Later };
double spotPageShownMs(SpotPageShown page);
template<SpotPageShown page>
double spotPageShownMs()
{
    return spotPageShownMs(page);
}

// From "Downloaden" on a spot of the demo corpus whose NZB spans seven segment articles to
// the NZB in a watch folder, in milliseconds: the articles from the demo server (in this
// process), or the same again from the cache.
enum class NzbHandOffRun { FromServer, FromCache };
double nzbHandOffMs(NzbHandOffRun run);
template<NzbHandOffRun run>
double nzbHandOffMs()
{
    return nzbHandOffMs(run);
}

// Against a private Debian INN fed with 200,000 spots (nan without inn2 or root), in seconds:
// the program's header download, from connecting to its end (Sync); INN alone, a plain client
// reading the same overview ranges (Xover); the same lines stored by the program's code without
// a network (Store); Sync over the larger of Xover and Store; every spot's HEAD through a plain
// client with 100 commands ahead (Head); the program's details run over the downloaded spots,
// from connecting to every spot's details stored (Details); Details over Head.
enum class InnFigure {
    SyncSeconds,
    XoverSeconds,
    StoreSeconds,
    SyncVsLimit,
    HeadSeconds,
    DetailsSeconds,
    DetailsVsLimit
};
double innFigure(InnFigure figure);

// A provider at a distance: the demo server (in this process) starting every reply 30 ms after
// its command and sending at most 8 MB/s; the program downloads the headers and comments of its
// 20,000 spots and every spot's details, from connecting until the last details are stored
// (Seconds). The bound is what that link allows: every byte the server sent at its rate, plus
// one round trip for every window of commands the program wrote (DetailsRun::window of them).
enum class DistanceFigure { Seconds, BoundSeconds, VsBound };
double distanceFigure(DistanceFigure figure);
