#include "benchsupport.h"
#include "debugoutput.h"
#include "figures.h"

#include <QApplication>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>
#include <cstdio>
#include <iterator>

#include <unistd.h>

namespace {

struct Figure
{
    std::string name;
    const char *unit;
    std::function<double()> measure;
    int decimals = 0;
};

const Figure leadingFigures[] = {
    {"yenc_decode_MBps", "MB/s", yencDecodeMBps},
    {"crc32_MBps", "MB/s", crc32MBps},
    {"crc32_cached_MBps", "MB/s", crc32CachedMBps},
    {"xzver_decode_inflate_MBps", "MB/s", xzverDecodeInflateMBps},
};

const Figure trailingFigures[] = {
    {"sync_headers_per_s_xover", "headers/s", [] { return syncFigure<SyncFigure::HeadersPerSecondXover, 0>(); }},
    {"sync_headers_per_s_xzver", "headers/s", [] { return syncFigure<SyncFigure::HeadersPerSecondXzver, 0>(); }},
    {"store_insert_limit_rows_per_s", "rows/s", [] { return syncFigure<SyncFigure::LimitRowsPerSecond, 0>(); }},
    {"sync_vs_limit_xover", "x", [] { return syncFigure<SyncFigure::RatioXover, 0>(); }, 2},
    {"sync_vs_limit_xzver", "x", [] { return syncFigure<SyncFigure::RatioXzver, 0>(); }, 2},
    {"sync_headers_per_s_xover_2m", "headers/s", [] { return syncFigure<SyncFigure::HeadersPerSecondXover, 2>(); }},
    {"sync_headers_per_s_xzver_2m", "headers/s", [] { return syncFigure<SyncFigure::HeadersPerSecondXzver, 2>(); }},
    {"store_insert_limit_rows_per_s_2m", "rows/s", [] { return syncFigure<SyncFigure::LimitRowsPerSecond, 2>(); }},
    {"sync_vs_limit_xover_2m", "x", [] { return syncFigure<SyncFigure::RatioXover, 2>(); }, 2},
    {"sync_vs_limit_xzver_2m", "x", [] { return syncFigure<SyncFigure::RatioXzver, 2>(); }, 2},
    {"client_overview_lines_per_s", "lines/s", clientOverviewLinesPerSecond},
    {"spot_page_build_ms", "ms", spotPageBuildMs, 3},
    {"nzb_read_MBps", "MB/s", nzbReadMBps, 1},
    {"nzb_files_read_per_s", "files/s", nzbFilesReadPerSecond},
    {"spot_page_shown_first_ms", "ms", spotPageShownMs<SpotPageShown::First>, 1},
    {"spot_page_shown_ms", "ms", spotPageShownMs<SpotPageShown::Later>, 1},
    {"nzb_handoff_7_segments_ms", "ms", nzbHandOffMs<NzbHandOffRun::FromServer>, 1},
    {"nzb_handoff_7_segments_cached_ms", "ms", nzbHandOffMs<NzbHandOffRun::FromCache>, 1},
    {"sync_inn_200k_s", "s", [] { return innFigure(InnFigure::SyncSeconds); }, 2},
    {"inn_xover_200k_s", "s", [] { return innFigure(InnFigure::XoverSeconds); }, 2},
    {"store_200k_s", "s", [] { return innFigure(InnFigure::StoreSeconds); }, 2},
    {"sync_inn_vs_limit", "x", [] { return innFigure(InnFigure::SyncVsLimit); }, 2},
    {"head_inn_200k_s", "s", [] { return innFigure(InnFigure::HeadSeconds); }, 2},
    {"details_inn_200k_s", "s", [] { return innFigure(InnFigure::DetailsSeconds); }, 2},
    {"details_vs_limit", "x", [] { return innFigure(InnFigure::DetailsVsLimit); }, 2},
    {"distance_20k_s", "s", [] { return distanceFigure(DistanceFigure::Seconds); }, 2},
    {"distance_bound_s", "s", [] { return distanceFigure(DistanceFigure::BoundSeconds); }, 2},
    {"distance_vs_bound", "x", [] { return distanceFigure(DistanceFigure::VsBound); }, 2},
};

// The spot list figures of one store size: each through the model and (_capi) through the
// statements of old, warm and (_cold) with the store's pages forgotten.
void addSpotListFigures(std::vector<Figure> &figures, int millions)
{
    const std::string size = '_' + std::to_string(millions) + 'm';
    figures.push_back({"search_index_build_s" + size, "s",
                       [=] { return spotIndexFigure(millions, SpotIndexFigure::BuildSeconds); }, 2});
    figures.push_back({"search_index_build_s" + size + "_cold", "s",
                       [=] { return spotIndexFigure(millions, SpotIndexFigure::BuildSecondsCold); }, 2});
    figures.push_back({"search_index_mb" + size, "MB",
                       [=] { return spotIndexFigure(millions, SpotIndexFigure::IndexMegabytes); }, 1});
    figures.push_back({"model_memory_mb" + size, "MB",
                       [=] { return spotIndexFigure(millions, SpotIndexFigure::ModelMemoryMegabytes); }, 1});
    figures.push_back({"model_sort_title_first_ms" + size, "ms",
                       [=] { return spotSortFigure(millions, SpotSortFigure::TitleFirstMs); }, 1});
    figures.push_back({"model_sort_title_again_ms" + size, "ms",
                       [=] { return spotSortFigure(millions, SpotSortFigure::TitleAgainMs); }, 1});
    figures.push_back(
        {"model_sort_date_ms" + size, "ms", [=] { return spotSortFigure(millions, SpotSortFigure::DateMs); }, 1});
    figures.push_back(
        {"model_sort_size_ms" + size, "ms", [=] { return spotSortFigure(millions, SpotSortFigure::SizeMs); }, 1});
    figures.push_back({"model_sort_size_again_ms" + size, "ms",
                       [=] { return spotSortFigure(millions, SpotSortFigure::SizeAgainMs); }, 1});
    figures.push_back({"model_new_range_shown_ms" + size, "ms",
                       [=] { return spotIndexFigure(millions, SpotIndexFigure::NewRangeShownMilliseconds); }, 1});
    figures.push_back({"model_new_range_busy_ms" + size, "ms",
                       [=] { return spotIndexFigure(millions, SpotIndexFigure::NewRangeLongestBusyMilliseconds); }, 1});

    using Measure = std::function<double(SpotListPath, bool)>;
    std::vector<std::pair<std::string, Measure>> steps = {
        {"model_window_ms_offset_0",
         [=](SpotListPath path, bool cold) { return spotListMs(millions, SpotListStep::WindowAtOffset0, path, cold); }},
        {"model_window_ms_offset_900000",
         [=](SpotListPath path, bool cold) {
             return spotListMs(millions, SpotListStep::WindowAtOffset900000, path, cold);
         }},
        {"model_window_ms_offset_last",
         [=](SpotListPath path, bool cold) {
             return spotListMs(millions, SpotListStep::WindowAtLastOffset, path, cold);
         }},
        {"model_tree_item_ms",
         [=](SpotListPath path, bool cold) { return spotListMs(millions, SpotListStep::TreeItem, path, cold); }},
    };
    const std::pair<const char *, SpotListWord> words[] = {{"rare", SpotListWord::Rare},
                                                           {"common", SpotListWord::Common},
                                                           {"none", SpotListWord::None},
                                                           {"short", SpotListWord::Short}};
    for (const auto &[name, word] : words) {
        for (const bool count : {false, true}) {
            steps.push_back(
                {std::string("model_search_") + name + (count ? "_count_ms" : "_first_rows_ms"),
                 [=](SpotListPath path, bool cold) { return spotSearchMs(millions, word, count, path, cold); }});
        }
    }
    steps.push_back({"startup_to_first_rows_ms", [=](SpotListPath path, bool cold) {
                         return spotListMs(millions, SpotListStep::StartupToFirstRows, path, cold);
                     }});

    for (const bool cold : {false, true}) {
        for (const auto &[name, measure] : steps) {
            for (const SpotListPath path : {SpotListPath::Model, SpotListPath::CApi}) {
                const std::string full
                    = name + size + (path == SpotListPath::CApi ? "_capi" : "") + (cold ? "_cold" : "");
                figures.push_back({full, "ms", [=] { return measure(path, cold); }, 3});
            }
        }
    }
}

// The saved filters' figures of one store size, each beside its reference.
void addFilterFigures(std::vector<Figure> &figures, int millions)
{
    const std::string size = '_' + std::to_string(millions) + 'm';
    const std::pair<const char *, FilterFigure> named[] = {
        {"model_filter_counts_20_ms", FilterFigure::CountsMs},
        {"model_filter_counts_20_index_ms", FilterFigure::CountsIndexMs},
        {"model_filter_counts_busy_ms", FilterFigure::CountsBusyMs},
        {"model_filter_counts_index_busy_ms", FilterFigure::CountsIndexBusyMs},
        {"model_filter_counts_timer_gap_ms", FilterFigure::CountsTimerGapMs},
        {"model_filter_open_ms", FilterFigure::OpenMs},
        {"model_filter_open_search_alone_ms", FilterFigure::OpenSearchAloneMs},
        {"model_hide_spotter_ms", FilterFigure::HideSpotterMs},
        {"model_hide_spotter_shown_again_ms", FilterFigure::ShowSpotterMs},
    };
    for (const auto &[name, figure] : named)
        figures.push_back({name + size, "ms", [=] { return filterFigure(millions, figure); }, 1});
}

std::vector<Figure> allFigures()
{
    std::vector<Figure> figures(std::begin(leadingFigures), std::end(leadingFigures));
    addSpotListFigures(figures, 1);
    addSpotListFigures(figures, 3);
    addFilterFigures(figures, 3);
    figures.insert(figures.end(), std::begin(trailingFigures), std::end(trailingFigures));
    return figures;
}

} // namespace

// tarnwick-bench [--smoke] [name...]: measures the named figures, or all of them; --smoke on
// tiny data (benchsupport.h).
int main(int argc, char *argv[])
{
    // The spot page figures show pages in Qt WebEngine: windowless unless a platform is
    // chosen, and as root only without the engine's sandbox.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    DebugOutput::install(); // as the program does
    QStringList wanted = app.arguments().mid(1);
    Bench::setSmoke(wanted.removeAll(QStringLiteral("--smoke")) > 0);
    const std::vector<Figure> figures = allFigures();
    for (const QString &name : wanted) {
        if (std::none_of(figures.begin(), figures.end(),
                         [&](const Figure &figure) { return name == QString::fromStdString(figure.name); })) {
            std::fprintf(stderr, "tarnwick-bench: unknown figure %s\n", qPrintable(name));
            return 2;
        }
    }
    for (const Figure &figure : figures) {
        if (!wanted.isEmpty() && !wanted.contains(QString::fromStdString(figure.name)))
            continue;
        std::printf("%s: %.*f %s\n", figure.name.c_str(), figure.decimals, figure.measure(), figure.unit);
        std::fflush(stdout);
    }
    return 0;
}
