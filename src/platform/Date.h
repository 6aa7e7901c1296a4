#pragma once
// Absolute time as seconds (with fraction) since 2001-01-01 00:00:00 UTC, the
// reference used by the archive format. A plain double keeps the stored value
// exact through load and save.
#include <QDateTime>
#include <QString>
#include <compare>

namespace vox {

struct Date {
    double sinceReference = 0; // seconds since 2001-01-01T00:00:00Z

    static constexpr double kUnixOffset = 978307200.0; // 2001-01-01 in Unix seconds

    static Date fromUnix(double unixSeconds) { return Date{unixSeconds - kUnixOffset}; }
    static Date fromQDateTime(const QDateTime &dt) { return fromUnix(dt.toMSecsSinceEpoch() / 1000.0); }
    double toUnix() const { return sinceReference + kUnixOffset; }
    QDateTime toQDateTime() const; // local time, millisecond precision

    Date addSeconds(double s) const { return Date{sinceReference + s}; }
    double secondsSince(const Date &other) const { return sinceReference - other.sinceReference; }

    auto operator<=>(const Date &) const = default;
    bool operator==(const Date &) const = default;
};

// "yyyy-MM-dd HH-mm-ss" in the local time zone, POSIX digits: names Desktop files.
QString fileStamp(const Date &d);
// "%02d:%02d:%02d" of whole seconds (hours may exceed two digits); negative counts as 0.
QString formattedDuration(double seconds);

} // namespace vox
