#include "benchsupport.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace Bench {

double median(QList<double> values)
{
    require(!values.isEmpty(), "no runs to take the median of");
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    random.fillRange(reinterpret_cast<quint32 *>(data.data()), size / qsizetype(sizeof(quint32)));
    for (qsizetype i = size - size % qsizetype(sizeof(quint32)); i < size; ++i)
        data[i] = char(random.bounded(256));
    return data;
}

void require(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "tarnwick-bench: %s\n", what);
    std::exit(EXIT_FAILURE);
}

} // namespace Bench
