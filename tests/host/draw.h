/* Drawing at random from a seed: a small generator that gives the same
 * numbers on every machine (splitmix64), and the few ways of drawing that
 * the scenario generators use. */
#ifndef DRAW_H
#define DRAW_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>

struct Rng {
    uint64_t state;
};

inline uint32_t Next(Rng &r)
{
    uint64_t z = (r.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return (uint32_t)((z ^ (z >> 31)) >> 32);
}

inline uint32_t Below(Rng &r, uint32_t n)
{
    return n ? Next(r) % n : 0;
}

inline uint32_t Between(Rng &r, uint32_t low, uint32_t high)
{
    return low + Below(r, high - low + 1);
}

inline bool Chance(Rng &r, int percent)
{
    return (int)Below(r, 100) < percent;
}

/* An index drawn with the given weights. */
inline size_t Weighted(Rng &r, std::initializer_list<int> weights)
{
    int total = 0;
    for (int weight : weights)
        total += weight;
    int draw = (int)Below(r, (uint32_t)total);
    size_t i = 0;
    for (int weight : weights) {
        if (draw < weight)
            return i;
        draw -= weight;
        ++i;
    }
    return 0;
}

template <typename T, size_t N>
const T &Pick(Rng &r, const T (&items)[N])
{
    return items[Below(r, N)];
}

#endif
