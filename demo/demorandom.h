#pragma once

#include <QtGlobal>

// A small, fast random stream (SplitMix64) for the demo corpus. The corpus starts a stream of
// its own for every article it makes, millions of times per download; QRandomGenerator's
// seeding alone costs tens of thousands of instructions, this one's costs nothing.
class DemoRandom
{
public:
    explicit DemoRandom(quint64 seed)
        : state(seed)
    {
    }

    quint64 next()
    {
        quint64 z = (state += step);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // From 0 up to, not including, highest (which must be positive).
    int bounded(int highest) { return int(next() % quint64(highest)); }
    int bounded(int lowest, int highest) { return lowest + bounded(highest - lowest); }
    // From 0 up to, not including, 1.
    double generateDouble() { return double(next() >> 11) * 0x1.0p-53; }
    // Moves on as count calls of next() would, at once: the stream is open at any place.
    void skip(quint64 count) { state += count * step; }

private:
    static constexpr quint64 step = 0x9e3779b97f4a7c15ULL;
    quint64 state;
};

// The stream that an article of that kind and number is made from, the same for every run.
// Mixed once, so that neighbouring numbers start far apart.
inline DemoRandom demoStream(quint32 seed, quint32 kind, qint64 number)
{
    DemoRandom mixer((quint64(seed) << 32 | kind) ^ quint64(number) * 0xd1b54a32d192ed03ULL);
    return DemoRandom(mixer.next());
}
