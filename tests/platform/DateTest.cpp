#include "platform/Date.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>

using namespace vox;

namespace {

// Runs `f` with the process time zone set to `tz` (a POSIX TZ string).
template <typename F> void withTimeZone(const char *tz, F f)
{
    const QByteArray old = qgetenv("TZ");
    const bool had = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", tz);
    tzset();
    f();
    if (had)
        qputenv("TZ", old);
    else
        qunsetenv("TZ");
    tzset();
}

} // namespace

TEST(Date, FormattedDuration)
{
    const std::pair<double, const char *> cases[] = {{3725.99, "01:02:05"}, {59.999, "00:00:59"},
        {360000, "100:00:00"}, {-5, "00:00:00"}, {std::numeric_limits<double>::quiet_NaN(), "00:00:00"},
        {-std::numeric_limits<double>::infinity(), "00:00:00"}};
    for (const auto &[seconds, text] : cases)
        EXPECT_EQ(formattedDuration(seconds), text) << seconds; // whole seconds, never negative
    // Absurd durations still give a well-formed text.
    for (double huge : {1e18, std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity()}) {
        const QString s = formattedDuration(huge);
        EXPECT_TRUE(s.contains(QRegularExpression(QStringLiteral(R"(^\d{2,}:\d{2}:\d{2}$)")))) << s.toStdString();
    }
}

TEST(Date, FileStampAndReference)
{
    const QDateTime utc(QDate(2026, 3, 9), QTime(14, 5, 7, 250), QTimeZone::utc());
    const Date d = Date::fromQDateTime(utc);
    EXPECT_DOUBLE_EQ(d.sinceReference, 794757907.25);
    EXPECT_EQ(d.toQDateTime().toUTC(), utc);

    withTimeZone("UTC0", [&] {
        EXPECT_EQ(fileStamp(d), "2026-03-09 14-05-07");
        EXPECT_EQ(fileStamp(Date{0}), "2001-01-01 00-00-00");
        EXPECT_EQ(fileStamp(Date{1e300}), "275760-09-13 00-00-00");
        EXPECT_EQ(fileStamp(Date{std::numeric_limits<double>::quiet_NaN()}), "1970-01-01 00-00-00");
    });
    withTimeZone("CST-8", [&] { EXPECT_EQ(fileStamp(d), "2026-03-09 22-05-07"); });

    // Dates far outside any calendar never crash and still give a stamp.
    for (double s : {std::numeric_limits<double>::infinity(), -1e300}) {
        const QString stamp = fileStamp(Date{s});
        EXPECT_FALSE(stamp.isEmpty() || stamp.contains(u'/')) << s;
    }
}
