#pragma once

#include <QByteArrayView>
#include <QList>

#include <cstddef>
#include <cstdint>

// The fuzzer's bytes as the targets read them: a few leading bytes that choose a mode or how
// to cut the rest, then the data. Reading past the end gives 0 and empty views, so that every
// input is a valid one.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t *data, std::size_t size);

    quint8 byte();
    // A count byte (0 to 15 lengths), then one byte per length (0 to 255 bytes).
    QList<qsizetype> lengths();
    QByteArrayView rest();

private:
    QByteArrayView bytes;
};

// The bytes cut into pieces of the given lengths, taken in turn until the bytes run out. A
// length of 0 gives an empty piece; without lengths (or with only zeros) the bytes are one piece.
QList<QByteArrayView> cut(QByteArrayView bytes, const QList<qsizetype> &lengths);

// A property of the parser that does not hold: reported with its place, then the run aborts
// so that libFuzzer keeps the input.
[[noreturn]] void fuzzFailure(const char *condition, const char *file, int line);

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            fuzzFailure(#condition, __FILE__, __LINE__);                                                               \
    } while (false)
