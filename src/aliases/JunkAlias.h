#pragma once

#include <QString>
#include <functional>

// Random throw-away alias names: 8 characters of a-z and 0-9.
class JunkAlias
{
public:
    static constexpr int Length = 8;

    // A new name from the C library's generator. The generator is seeded
    // with the time once per process, not per name: a refused name is
    // retried at once, within the same second, and reseeding would draw the
    // same refused name again.
    static QString draw();

    // The name spelled by the next Length numbers of `nextRandom`, each
    // taken modulo 36: 0-25 give a-z, 26-35 give 0-9.
    static QString fromNumbers(const std::function<int()> &nextRandom);
};
