#pragma once

#include <QList>
#include <cstdint>

namespace host {

// A small deterministic generator (splitmix64): the same seed gives the same register on every
// machine and compiler, which the standard distributions do not promise.
class DemoRandom
{
public:
    explicit DemoRandom(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    int between(int low, int high) { return low + int(next() % std::uint64_t(high - low + 1)); }
    // True with the given percentage.
    bool chance(int percent) { return between(1, 100) <= percent; }
    template<typename T>
    const T &pick(const QList<T> &items)
    {
        return items[between(0, int(items.size()) - 1)];
    }
    // An index chosen by weights.
    int weighted(const QList<int> &weights)
    {
        int total = 0;
        for (int w : weights)
            total += w;
        int r = between(1, total);
        for (int i = 0; i < weights.size(); ++i) {
            r -= weights[i];
            if (r <= 0)
                return i;
        }
        return int(weights.size()) - 1;
    }

private:
    std::uint64_t m_state;
};

} // namespace host
