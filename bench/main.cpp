#include "figures.h"

#include <QApplication>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <iterator>

#include <unistd.h>

namespace {

struct Figure
{
    const char *name;
    const char *unit;
    double (*measure)();
    int decimals = 0;
};

using Step = SpotListStep;
constexpr SpotListPath model = SpotListPath::Model;
constexpr SpotListPath capi = SpotListPath::CApi;

const Figure figures[] = {
    {"yenc_decode_MBps", "MB/s", yencDecodeMBps},
    {"crc32_MBps", "MB/s", crc32MBps},
    {"crc32_cached_MBps", "MB/s", crc32CachedMBps},
    {"xzver_decode_inflate_MBps", "MB/s", xzverDecodeInflateMBps},
    {"model_window_ms_offset_0_1m", "ms", spotListMs<1, Step::WindowAtOffset0, model>, 3},
    {"model_window_ms_offset_0_1m_capi", "ms", spotListMs<1, Step::WindowAtOffset0, capi>, 3},
    {"model_window_ms_offset_900000_1m", "ms", spotListMs<1, Step::WindowAtOffset900000, model>, 3},
    {"model_window_ms_offset_900000_1m_capi", "ms", spotListMs<1, Step::WindowAtOffset900000, capi>, 3},
    {"model_count_category_ms_1m", "ms", spotListMs<1, Step::CountCategory, model>, 3},
    {"model_count_category_ms_1m_capi", "ms", spotListMs<1, Step::CountCategory, capi>, 3},
    {"model_search_rare_ms_1m", "ms", spotListMs<1, Step::SearchRare, model>, 3},
    {"model_search_rare_ms_1m_capi", "ms", spotListMs<1, Step::SearchRare, capi>, 3},
    {"model_search_common_ms_1m", "ms", spotListMs<1, Step::SearchCommon, model>, 3},
    {"model_search_common_ms_1m_capi", "ms", spotListMs<1, Step::SearchCommon, capi>, 3},
    {"startup_to_first_rows_ms_1m", "ms", spotListMs<1, Step::StartupToFirstRows, model>, 3},
    {"startup_to_first_rows_ms_1m_capi", "ms", spotListMs<1, Step::StartupToFirstRows, capi>, 3},
    {"model_window_ms_offset_0_3m", "ms", spotListMs<3, Step::WindowAtOffset0, model>, 3},
    {"model_window_ms_offset_0_3m_capi", "ms", spotListMs<3, Step::WindowAtOffset0, capi>, 3},
    {"model_window_ms_offset_900000_3m", "ms", spotListMs<3, Step::WindowAtOffset900000, model>, 3},
    {"model_window_ms_offset_900000_3m_capi", "ms", spotListMs<3, Step::WindowAtOffset900000, capi>, 3},
    {"model_count_category_ms_3m", "ms", spotListMs<3, Step::CountCategory, model>, 3},
    {"model_count_category_ms_3m_capi", "ms", spotListMs<3, Step::CountCategory, capi>, 3},
    {"model_search_rare_ms_3m", "ms", spotListMs<3, Step::SearchRare, model>, 3},
    {"model_search_rare_ms_3m_capi", "ms", spotListMs<3, Step::SearchRare, capi>, 3},
    {"model_search_common_ms_3m", "ms", spotListMs<3, Step::SearchCommon, model>, 3},
    {"model_search_common_ms_3m_capi", "ms", spotListMs<3, Step::SearchCommon, capi>, 3},
    {"startup_to_first_rows_ms_3m", "ms", spotListMs<3, Step::StartupToFirstRows, model>, 3},
    {"startup_to_first_rows_ms_3m_capi", "ms", spotListMs<3, Step::StartupToFirstRows, capi>, 3},
    {"sync_headers_per_s_xover", "headers/s", syncFigure<SyncFigure::HeadersPerSecondXover, 0>},
    {"sync_headers_per_s_xzver", "headers/s", syncFigure<SyncFigure::HeadersPerSecondXzver, 0>},
    {"store_insert_limit_rows_per_s", "rows/s", syncFigure<SyncFigure::LimitRowsPerSecond, 0>},
    {"sync_vs_limit_xover", "x", syncFigure<SyncFigure::RatioXover, 0>, 2},
    {"sync_vs_limit_xzver", "x", syncFigure<SyncFigure::RatioXzver, 0>, 2},
    {"sync_headers_per_s_xover_2m", "headers/s", syncFigure<SyncFigure::HeadersPerSecondXover, 2>},
    {"sync_headers_per_s_xzver_2m", "headers/s", syncFigure<SyncFigure::HeadersPerSecondXzver, 2>},
    {"store_insert_limit_rows_per_s_2m", "rows/s", syncFigure<SyncFigure::LimitRowsPerSecond, 2>},
    {"sync_vs_limit_xover_2m", "x", syncFigure<SyncFigure::RatioXover, 2>, 2},
    {"sync_vs_limit_xzver_2m", "x", syncFigure<SyncFigure::RatioXzver, 2>, 2},
    {"client_overview_lines_per_s", "lines/s", clientOverviewLinesPerSecond},
    {"spot_page_build_ms", "ms", spotPageBuildMs, 3},
    {"nzb_read_MBps", "MB/s", nzbReadMBps, 1},
    {"nzb_files_read_per_s", "files/s", nzbFilesReadPerSecond},
    {"spot_page_shown_first_ms", "ms", spotPageShownMs<SpotPageShown::First>, 1},
    {"spot_page_shown_ms", "ms", spotPageShownMs<SpotPageShown::Later>, 1},
};

} // namespace

// tarnwick-bench [name...]: measures the named figures, or all of them.
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
    const QStringList wanted = app.arguments().mid(1);
    for (const QString &name : wanted) {
        if (std::none_of(std::begin(figures), std::end(figures),
                         [&](const Figure &figure) { return name == QLatin1StringView(figure.name); })) {
            std::fprintf(stderr, "tarnwick-bench: unknown figure %s\n", qPrintable(name));
            return 2;
        }
    }
    for (const Figure &figure : figures) {
        if (!wanted.isEmpty() && !wanted.contains(QLatin1StringView(figure.name)))
            continue;
        std::printf("%s: %.*f %s\n", figure.name, figure.decimals, figure.measure(), figure.unit);
        std::fflush(stdout);
    }
    return 0;
}
