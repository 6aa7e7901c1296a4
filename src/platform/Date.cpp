#include "Date.h"

#include <QTimeZone>
#include <cmath>

namespace vox {

QDateTime Date::toQDateTime() const
{
    const double ms = std::floor(toUnix() * 1000.0);
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
