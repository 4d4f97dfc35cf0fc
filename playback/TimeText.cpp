#include "playback/TimeText.h"

namespace zypo {

static QString two(long long v) {
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}

QString lengthText(std::int32_t ms) {
    const long long L = ms < 0 ? 0 : ms;
    const long long h = L / 3600000;
    const long long m = L / 60000 - 60 * h;
    const long long s = L / 1000 - 3600 * h - 60 * m;
    const long long t = L % 1000;
    return two(h) + QLatin1Char(':') + two(m) + QLatin1Char(':') + two(s) + QLatin1Char('.') +
           QString::number(t).rightJustified(3, QLatin1Char('0'));
}

std::int32_t roundedSeconds(std::int32_t ms) {
    const long long v = ms;
    long long q = v / 1000;
    long long r = v % 1000;
    if (r < 0) {
        r += 1000;
        --q;
    }
    if (r > 500 || (r == 500 && (q % 2 != 0)))
        ++q;
    return static_cast<std::int32_t>(q);
}

QString elapsedText(std::int32_t seconds) {
    const long long t = seconds < 0 ? 0 : seconds;
    const long long h = t / 3600;
    const long long m = t / 60 - 60 * h;
    const long long s = t % 60;
    return two(h) + QLatin1Char(':') + two(m) + QLatin1Char(':') + two(s);
}

} // namespace zypo
