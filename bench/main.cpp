#include "figures.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

struct Figure
{
    const char *name;
    const char *unit;
    double (*measure)();
};

const Figure figures[] = {
    {"yenc_decode_MBps", "MB/s", yencDecodeMBps},
    {"crc32_MBps", "MB/s", crc32MBps},
    {"crc32_cached_MBps", "MB/s", crc32CachedMBps},
    {"xzver_decode_inflate_MBps", "MB/s", xzverDecodeInflateMBps},
    // client_overview_lines_per_s goes here: SpotNNTP reading overview lines from the test server.
};

} // namespace

// tarnwick-bench [name...]: measures the named figures, or all of them.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
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
        std::printf("%s: %.0f %s\n", figure.name, figure.measure(), figure.unit);
        std::fflush(stdout);
    }
    return 0;
}
