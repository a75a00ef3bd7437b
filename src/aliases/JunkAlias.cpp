#include "aliases/JunkAlias.h"

#include <cstdlib>
#include <ctime>

QString JunkAlias::draw()
{
    static const bool seeded = [] {
        std::srand(unsigned(std::time(nullptr)));
        return true;
    }();
    Q_UNUSED(seeded)
    return fromNumbers([] { return std::rand(); });
}

QString JunkAlias::fromNumbers(const std::function<int()> &nextRandom)
{
    QString name;
    name.reserve(Length);
    for (int i = 0; i < Length; ++i) {
        const int value = nextRandom() % 36;
        name += value < 26 ? QChar(u'a' + value) : QChar(u'0' + value - 26);
    }
    return name;
}
