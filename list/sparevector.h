#pragma once

#include <vector>

// Appending to a vector that holds a few hundred megabytes: beyond a million elements it grows
// by an eighth at a time rather than doubling, so that the memory held in reserve stays small
// and a growth step (which copies everything) stays short.
template<typename T>
void reserveSparingly(std::vector<T> &values, size_t more)
{
    constexpr size_t large = 1 << 20;
    const size_t needed = values.size() + more;
    if (needed > values.capacity() && values.size() >= large)
        values.reserve(needed + values.size() / 8);
}

// Gives back what growing kept in reserve beyond room more elements.
template<typename T>
void squeezeKeeping(std::vector<T> &values, size_t room)
{
    const size_t kept = values.size() + room;
    if (values.capacity() <= kept)
        return;
    std::vector<T> squeezed;
    squeezed.reserve(kept);
    squeezed.insert(squeezed.end(), values.begin(), values.end());
    values.swap(squeezed);
}

template<typename T, typename Value>
void appendSparingly(std::vector<T> &values, const Value &value)
{
    reserveSparingly(values, 1);
    values.push_back(value);
}

template<typename T, typename Iterator>
void appendSparingly(std::vector<T> &values, Iterator first, Iterator last)
{
    reserveSparingly(values, size_t(last - first));
    values.insert(values.end(), first, last);
}
