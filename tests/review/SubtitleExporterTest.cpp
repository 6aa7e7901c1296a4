// Subtitle timing and text, the files on the Desktop, and a real consumer
// (ffprobe) reading them.
#include "review/SubtitleExporter.h"
#include "ReviewFixture.h"

#include <QProcess>
#include <QStandardPaths>

using namespace vox;
using namespace vox::test;
namespace SE = vox::SubtitleExporter;

namespace {

const Date kBase = Date::fromUnix(1'750'000'000);

TranslationEntry entry(double audioTime, int chars, double wallOffset = 0, QString target = QStringLiteral("译文"))
{
    return TranslationEntry(
        kBase.addSeconds(wallOffset), QString(chars, QLatin1Char('a')), std::move(target), audioTime);
}

QString timeLine(const TranslationEntry &e)
{
    return SE::srt({e}, kBase).split(QLatin1Char('\n')).at(1);
}

} // namespace

TEST(SubtitleTiming, StartDurationAndTimestampText)
{
    EXPECT_EQ(timeLine(entry(61.25, 50)), QStringLiteral("00:01:01,250 --> 00:01:04,250"));
    EXPECT_EQ(timeLine(entry(10, 10)), QStringLiteral("00:00:10,000 --> 00:00:11,500")); // 1.5 s minimum
    EXPECT_EQ(timeLine(entry(10, 200)), QStringLiteral("00:00:10,000 --> 00:00:18,000")); // 8 s maximum
    // Audio time 0 falls back to the wall-clock offset from the course start.
    EXPECT_EQ(timeLine(entry(0, 10, 12.5)), QStringLiteral("00:00:12,500 --> 00:00:14,000"));
    // Characters as the user sees them: one emoji with a modifier, one CJK sentence.
    TranslationEntry emoji(kBase, QStringLiteral("👍🏽").repeated(40), {}, 1);
    EXPECT_DOUBLE_EQ(SE::cueTime(emoji, kBase).end - 1, 2.4);
    // A wall-clock time before the course start never gives a negative time.
    EXPECT_EQ(timeLine(entry(0, 10, -5)), QStringLiteral("00:00:00,000 --> 00:00:01,500"));

    EXPECT_EQ(SE::timestamp(12.75, SE::Format::SRT), QStringLiteral("00:00:12,750"));
    EXPECT_EQ(SE::timestamp(12.75, SE::Format::VTT), QStringLiteral("00:00:12.750"));
    EXPECT_EQ(SE::timestamp(12.9999, SE::Format::SRT), QStringLiteral("00:00:12,999")); // truncated, never 13
    EXPECT_EQ(SE::timestamp(3725.5, SE::Format::SRT), QStringLiteral("01:02:05,500"));
    EXPECT_EQ(SE::timestamp(360000, SE::Format::VTT), QStringLiteral("100:00:00.000"));
    const QString seven = SE::timestamp(0.7, SE::Format::SRT); // 0.7 is held approximately
    EXPECT_TRUE(seven == QStringLiteral("00:00:00,700") || seven == QStringLiteral("00:00:00,699"))
        << seven.toStdString();
}

TEST(SubtitleText, SrtAndVttDifferOnlyInHeaderAndSeparator)
{
    const std::vector<TranslationEntry> entries = {entry(61.25, 50, 0, QStringLiteral("第一句")),
        entry(0, 10, 3, QString()), entry(2, 20, 4, QStringLiteral("第三句"))};
    const QString srt = SE::srt(entries, kBase);
    const QString vtt = SE::vtt(entries, kBase);
    EXPECT_EQ(srt,
        QStringLiteral("1\n00:01:01,250 --> 00:01:04,250\n") + QString(50, 'a') +
            QStringLiteral("\n第一句\n\n"
                           "2\n00:00:03,000 --> 00:00:04,500\naaaaaaaaaa\n\n\n"
                           "3\n00:00:02,000 --> 00:00:03,500\naaaaaaaaaaaaaaaaaaaa\n第三句\n"));
    ASSERT_TRUE(vtt.startsWith(QStringLiteral("WEBVTT\n\n")));
    QString body = vtt.mid(8);
    body.replace(QRegularExpression(QStringLiteral("(\\d\\d)\\.(\\d\\d\\d)")), QStringLiteral("\\1,\\2"));
    EXPECT_EQ(body, srt);

    EXPECT_EQ(SE::srt({}, kBase), QString());
    EXPECT_EQ(SE::vtt({}, kBase), QStringLiteral("WEBVTT\n"));
}

class SubtitleFiles : public ReviewFixture {
protected:
    CourseSession course() const
    {
        const Date start = localDate(2025, 5, 2, 14, 3, 9);
        std::vector<TranslationEntry> e;
        e.emplace_back(start.addSeconds(2), QStringLiteral("Welcome to the course, everyone."),
            QStringLiteral("欢迎大家来上课。"), 1.5);
        e.emplace_back(
            start.addSeconds(6), QStringLiteral("Today: cells & <energy>."), QStringLiteral("今天：细胞与能量。"), 0);
        e.emplace_back(start.addSeconds(9), QStringLiteral("Let's begin."), QStringLiteral("我们开始吧。"), 8.25);
        return CourseSession(start, start.addSeconds(60), std::move(e), std::nullopt);
    }
};

TEST_F(SubtitleFiles, WrittenIntoTheSubtitleFolderAndReplaced)
{
    EXPECT_EQ(SE::fileName(course(), SE::Format::SRT), QStringLiteral("2025-05-02 14-03-09 课堂字幕.srt"));
    auto first = SE::save(course(), SE::Format::SRT);
    ASSERT_TRUE(first && first->ok());
    EXPECT_EQ(first->value(), courseFolder() + QStringLiteral("/字幕/2025-05-02 14-03-09 课堂字幕.srt"));
    EXPECT_EQ(QString::fromUtf8(readAll(first->value())), SE::srt(course().entries, course().startDate));

    CourseSession changed = course();
    changed.entries.pop_back();
    auto again = SE::save(changed, SE::Format::SRT);
    ASSERT_TRUE(again && again->ok());
    EXPECT_EQ(QString::fromUtf8(readAll(first->value())), SE::srt(changed.entries, changed.startDate));
    EXPECT_EQ(QDir(courseFolder() + QStringLiteral("/字幕")).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // Nothing for an empty course or without a Desktop.
    CourseSession empty = course();
    empty.entries.clear();
    EXPECT_FALSE(SE::save(empty, SE::Format::VTT).has_value());
    desktop->setDesktop({});
    EXPECT_FALSE(SE::save(course(), SE::Format::VTT).has_value());
}

TEST_F(SubtitleFiles, FfprobeReadsBothFormats)
{
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    if (ffprobe.isEmpty())
        GTEST_SKIP() << "ffprobe not installed";
    for (auto format : {SE::Format::SRT, SE::Format::VTT}) {
        auto saved = SE::save(course(), format);
        ASSERT_TRUE(saved && saved->ok());
        QProcess p;
        p.start(ffprobe,
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                QStringLiteral("packet=pts_time,duration_time"), QStringLiteral("-of"), QStringLiteral("csv=p=0"),
                saved->value()});
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
        EXPECT_TRUE(err.trimmed().isEmpty()) << err.toStdString();
        const QStringList packets = out.trimmed().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_EQ(packets.size(), 3) << out.toStdString();
        // Cue order and times as written: 1.5 s, the 6 s wall-clock fallback, 8.25 s.
        EXPECT_TRUE(packets[0].startsWith(QStringLiteral("1.500000,"))) << packets[0].toStdString();
        EXPECT_TRUE(packets[1].startsWith(QStringLiteral("6.000000,"))) << packets[1].toStdString();
        EXPECT_TRUE(packets[2].startsWith(QStringLiteral("8.250000,1.500000"))) << packets[2].toStdString();
    }
}
