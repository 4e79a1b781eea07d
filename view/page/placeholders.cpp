#include "placeholders.h"

std::optional<QByteArray> fillPlaceholders(QByteArrayView text, const QList<Placeholder> &values, qsizetype limit)
{
    QByteArray filled;
    filled.reserve(qMin(text.size(), limit));
    const auto append = [&](QByteArrayView bytes) {
        if (bytes.size() > limit - filled.size())
            return false;
        filled += bytes;
        return true;
    };
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype brace = text.indexOf('{', from);
        if (brace < 0)
            brace = text.size();
        if (!append(text.sliced(from, brace - from)))
            return std::nullopt;
        if (brace == text.size())
            break;
        from = brace + 1;
        QByteArrayView inserted = text.sliced(brace, 1);
        for (const Placeholder &placeholder : values) {
            if (text.sliced(brace).startsWith(placeholder.name)) {
                inserted = placeholder.value;
                from = brace + placeholder.name.size();
                break;
            }
        }
        if (!append(inserted))
            return std::nullopt;
    }
    return filled;
}
