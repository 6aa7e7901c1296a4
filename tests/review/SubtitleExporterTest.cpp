// Subtitle timing and text, the files on the Desktop, and a real consumer
// (ffprobe) reading them.
#include "review/SubtitleExporter.h"
#include "ReviewFixture.h"

#include <QProcess>
#include <QStandardPaths>
#include <limits>

using namespace vox;
using namespace vox::test;
namespace SE = vox::SubtitleExporter;

namespace {

const Date kBase = Date::fromUnix(1'750'000'000);

TranslationEntry entry(double audioTime, int chars, double wallOffset = 0)
{
    return TranslationEntry(kBase.addSeconds(wallOffset), QString(chars, QLatin1Char('a')), QStringLiteral("译文"), audioTime);
}

QString timeLine(const TranslationEntry &e)
{
    return SE::srt({e}, kBase).split(QLatin1Char('\n')).at(1);
}

// Sentences and translations that try to end their cue and start another
// one, a NOTE or a STYLE block, or to carry markup; times out of any range.
std::vector<TranslationEntry> hostileEntries()
{
    const double inf = std::numeric_limits<double>::infinity();
    return {
        TranslationEntry(kBase, QStringLiteral("Hello.\n\n2\n00:00:00,000 --> 00:00:05,000\nForged."),
            QStringLiteral("你好。"), 1),
        TranslationEntry(kBase, QStringLiteral("NOTE forged\r\n\r\nSTYLE"),
            QStringLiteral("译文\n\nNOTE 伪造\n\nSTYLE\n::cue { color: red }"), 5),
        TranslationEntry(kBase, QStringLiteral("a <b>bold</b> & 1 ---> 2"), QString(), 1e308),
        TranslationEntry(kBase.addSeconds(7), QString(), QStringLiteral("只有译文\u2028第二行\u0085"),
            std::numeric_limits<double>::quiet_NaN()),
        TranslationEntry(kBase.addSeconds(1e300), QStringLiteral(" \n "), QStringLiteral("\r\n"), 0),
        TranslationEntry(kBase, QStringLiteral("--> -->"), QStringLiteral("00:00:09,000 --> 00:00:10,000"), inf),
    };
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

// Whatever a sentence or a translation holds, an entry with text is one cue at
// its own time with its text on at most two lines: nothing in it ends the cue
// or starts another one, a NOTE or a STYLE block, and WebVTT text has no markup.
// Huge times stop at 9999 hours instead of wrapping round; undefined ones go to 0.
TEST(SubtitleText, HostileTextAndTimesGiveOneCuePerEntry)
{
    const std::vector<TranslationEntry> entries = hostileEntries();
    EXPECT_EQ(SE::srt(entries, kBase),
        QStringLiteral("1\n00:00:01,000 --> 00:00:03,820\nHello. 2 00:00:00,000 -> 00:00:05,000 Forged.\n你好。\n\n"
                       "2\n00:00:05,000 --> 00:00:06,500\nNOTE forged STYLE\n译文 NOTE 伪造 STYLE ::cue { color: red }\n\n"
                       "3\n9999:00:00,000 --> 9999:00:01,500\na <b>bold</b> & 1 -> 2\n\n"
                       "4\n00:00:07,000 --> 00:00:08,500\n只有译文 第二行\n\n"
                       "5\n00:00:00,000 --> 00:00:01,500\n-> ->\n00:00:09,000 -> 00:00:10,000\n"));
    EXPECT_EQ(SE::vtt(entries, kBase),
        QStringLiteral("WEBVTT\n\n"
                       "1\n00:00:01.000 --> 00:00:03.820\nHello. 2 00:00:00,000 -&gt; 00:00:05,000 Forged.\n你好。\n\n"
                       "2\n00:00:05.000 --> 00:00:06.500\nNOTE forged STYLE\n译文 NOTE 伪造 STYLE ::cue { color: red }\n\n"
                       "3\n9999:00:00.000 --> 9999:00:01.500\na &lt;b&gt;bold&lt;/b&gt; &amp; 1 -&gt; 2\n\n"
                       "4\n00:00:07.000 --> 00:00:08.500\n只有译文 第二行\n\n"
                       "5\n00:00:00.000 --> 00:00:01.500\n-&gt; -&gt;\n00:00:09,000 -&gt; 00:00:10,000\n"));
    // The entry of nothing but line breaks gets no cue; its wall-clock time
    // far past the course start stops at 9999 hours too.
    EXPECT_EQ(SE::text({entries[4]}, kBase, SE::Format::SRT), QString());
    EXPECT_EQ(SE::text({entries[4]}, kBase, SE::Format::VTT), QStringLiteral("WEBVTT\n"));
    EXPECT_EQ(SE::cueTime(entries[4], kBase).start, SE::kLatestStart);
    EXPECT_EQ(SE::timestamp(1e308, SE::Format::SRT), QStringLiteral("9999:59:59,999"));
    EXPECT_EQ(SE::timestamp(std::numeric_limits<double>::infinity(), SE::Format::VTT), QStringLiteral("9999:59:59.999"));
    EXPECT_EQ(SE::timestamp(-1e308, SE::Format::SRT), QStringLiteral("00:00:00,000"));
    EXPECT_EQ(SE::timestamp(std::numeric_limits<double>::quiet_NaN(), SE::Format::SRT), QStringLiteral("00:00:00,000"));
}

class SubtitleFiles : public ReviewFixture { };

TEST_F(SubtitleFiles, WrittenIntoTheSubtitleFolderAndNeverOverwritten)
{
    const CourseSession course = makeCourse(3);
    auto first = SE::save(course, SE::Format::SRT);
    ASSERT_TRUE(first && first->ok());
    EXPECT_EQ(first->value(), courseFolder() + QStringLiteral("/字幕/2025-05-02 14-03-09 课堂字幕.srt"));
    EXPECT_EQ(QString::fromUtf8(readFile(first->value())), SE::srt(course.entries, course.startDate));

    CourseSession changed = course;
    changed.entries.pop_back();
    auto again = SE::save(changed, SE::Format::SRT);
    ASSERT_TRUE(again && again->ok());
    // The second export gets a name of its own; the first stays as it was.
    EXPECT_EQ(again->value(), courseFolder() + QStringLiteral("/字幕/2025-05-02 14-03-09 课堂字幕 (2).srt"));
    EXPECT_EQ(QString::fromUtf8(readFile(first->value())), SE::srt(course.entries, course.startDate));
    EXPECT_EQ(QString::fromUtf8(readFile(again->value())), SE::srt(changed.entries, changed.startDate));
    EXPECT_EQ(QDir(courseFolder() + QStringLiteral("/字幕")).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

// A real consumer reads the cues as written, hostile ones included.
TEST_F(SubtitleFiles, FfprobeReadsBothFormats)
{
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    if (ffprobe.isEmpty())
        GTEST_SKIP() << "ffprobe not installed";
    const auto packetsOf = [&](const CourseSession &c, SE::Format format) {
        auto saved = SE::save(c, format);
        EXPECT_TRUE(saved && saved->ok());
        if (!saved || !saved->ok())
            return QStringList();
        QProcess p;
        p.start(ffprobe, {"-v", "error", "-show_entries", "packet=pts_time,duration_time", "-of", "csv=p=0", saved->value()});
        EXPECT_TRUE(p.waitForFinished(30000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
        EXPECT_TRUE(err.trimmed().isEmpty()) << err.toStdString();
        QStringList packets; // "start,duration" (WebVTT adds an empty field and line)
        for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
            packets << line.section(u',', 0, 1);
        return packets;
    };
    for (auto format : {SE::Format::SRT, SE::Format::VTT}) {
        // Six entries, one of them without any text.
        const QStringList hostile = packetsOf(CourseSession(kBase, kBase.addSeconds(60), hostileEntries(), {}), format);
        EXPECT_EQ(hostile.size(), 5) << hostile.join(u'\n').toStdString();
        EXPECT_EQ(packetsOf(makeCourse(3), format), (QStringList{"1.000000,1.500000", "2.000000,1.500000", "3.000000,1.500000"}));
    }
}
