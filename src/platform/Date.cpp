#include "Date.h"

#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace vox {

QDateTime Date::toQDateTime() const
{
    // Kept within +-100 million days of 1970 (what calendars can show); a NaN
    // reads as the Unix epoch. Converting an out-of-range double is undefined.
    constexpr double kLimitMs = 8.64e15;
    double ms = std::floor(toUnix() * 1000.0);
    if (std::isnan(ms))
        ms = 0;
    ms = std::clamp(ms, -kLimitMs, kLimitMs);
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms));
}

QString fileStamp(const Date &d)
{
    // QDateTime::toString with a format string uses C-locale digits and names.
    return d.toQDateTime().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
}

QString formattedDuration(double seconds)
{
    if (!(seconds > 0) || !std::isfinite(seconds))
        seconds = 0;
    if (seconds > 1e15)
        seconds = 1e15;
    const long long total = static_cast<long long>(seconds);
    const long long h = total / 3600, m = (total % 3600) / 60, s = total % 60;
    return QString::asprintf("%02lld:%02lld:%02lld", h, m, s);
}

} // namespace vox
