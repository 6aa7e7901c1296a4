#include "course/CourseRecords.h"
#include "platform/Diag.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <limits>

using namespace vox;

namespace {

const QString kRecording =
    QStringLiteral("/home/学生/Desktop/课程记录/课堂录音/2026-03-09 14-05-07 课堂录音 #1 50%.caf");

CourseSession sampleCourse()
{
    std::vector<TranslationEntry> entries = {
        TranslationEntry(Date{794757910.5}, QStringLiteral("Hello everyone."), QStringLiteral("大家好。"), 3.25),
        TranslationEntry(Date{794757920.125}, QStringLiteral("Quote \"this\"\n"), QString(), 0),
    };
    return CourseSession(Date{794757907.25}, Date{794761507.75}, std::move(entries), QUrl::fromLocalFile(kRecording));
}

QJsonObject validObject()
{
    return QJsonDocument::fromJson(sampleCourse().encode()).object();
}

QByteArray bytes(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonObject withEntry(QJsonObject course, const QString &key, const QJsonValue &value)
{
    QJsonArray entries = course["entries"].toArray();
    QJsonObject e = entries[0].toObject();
    if (value.isUndefined())
        e.remove(key);
    else
        e[key] = value;
    entries[0] = e;
    course["entries"] = entries;
    return course;
}

} // namespace

TEST(CourseRecords, EncodesTheArchiveForm)
{
    const CourseSession c = sampleCourse();
    const QByteArray json = c.encode();
    EXPECT_FALSE(json.contains('\n'));
    EXPECT_FALSE(json.contains("\": ")); // compact
    EXPECT_FALSE(json.contains("\"id\""));

    const QJsonObject o = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(o.keys(), QStringList({"endDate", "entries", "recordingURL", "startDate"}));
    EXPECT_EQ(o["startDate"].toDouble(), 794757907.25); // seconds since 2001-01-01
    EXPECT_EQ(o["endDate"].toDouble(), 794761507.75);
    const QJsonObject e = o["entries"].toArray()[0].toObject();
    EXPECT_EQ(e.keys(), QStringList({"audioTime", "source", "target", "timestamp"}));
    EXPECT_EQ(e["timestamp"].toDouble(), 794757910.5);
    EXPECT_EQ(e["audioTime"].toDouble(), 3.25);

    // The recording is a percent-encoded file URL.
    const QString url = o["recordingURL"].toString();
    EXPECT_TRUE(url.startsWith("file:///home/%E5%AD%A6%E7%94%9F/Desktop/")) << url.toStdString();
    EXPECT_FALSE(url.contains(u' '));
    EXPECT_TRUE(url.contains("%20")) << url.toStdString();

    // No recording: no key. No entries: an empty array.
    const CourseSession bare(Date{1}, Date{2}, {}, std::nullopt);
    const QJsonObject b = QJsonDocument::fromJson(bare.encode()).object();
    EXPECT_FALSE(b.contains("recordingURL"));
    EXPECT_TRUE(bare.encode().contains("\"entries\":[]"));
}

TEST(CourseRecords, RoundTripsWithFreshIdsAndReadsWhatTheFormatAllows)
{
    const CourseSession c = sampleCourse();
    const auto a = CourseSession::decode(c.encode());
    const auto b = CourseSession::decode(c.encode());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->encode(), c.encode()); // all but the ids, which are fresh
    ASSERT_EQ(a->entries.size(), c.entries.size());
    for (size_t i = 0; i < c.entries.size(); ++i)
        EXPECT_NE(a->entries[i].id, c.entries[i].id);
    EXPECT_NE(a->id, b->id);
    EXPECT_NE(*a, *b);
    EXPECT_EQ(a->recordingPath(), kRecording);
    EXPECT_EQ(a->entries[1].target, QString()); // empty target kept as is

    const auto bare = CourseSession::decode(CourseSession(Date{-5.5}, Date{0}, {}, std::nullopt).encode());
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->entries.empty());
    EXPECT_FALSE(bare->recordingURL);
    EXPECT_EQ(bare->startDate.sinceReference, -5.5);

    // Lenient where the format allows: a null recording, ids and extra keys.
    QJsonObject o = validObject();
    o["recordingURL"] = QJsonValue::Null;
    o["id"] = "ignored";
    o["extra"] = QJsonArray{1, 2};
    const auto lenient = CourseSession::decode(bytes(withEntry(o, "id", "also ignored")));
    ASSERT_TRUE(lenient);
    EXPECT_FALSE(lenient->recordingURL);
    EXPECT_EQ(lenient->entries.size(), 2u);

    // Whole numbers are numbers too.
    o["startDate"] = 0;
    EXPECT_TRUE(CourseSession::decode(bytes(o)));
}

TEST(CourseRecords, StrictDecodingFailsTheWholeFile)
{
    const QJsonObject o = validObject();
    const auto with = [&](const char *key, const QJsonValue &value) {
        QJsonObject m = o;
        if (value.isUndefined())
            m.remove(key);
        else
            m[key] = value;
        return bytes(m);
    };
    std::vector<QByteArray> bad = {with("startDate", "2026-03-09T14:05:07Z"), with("entries", QJsonObject()),
        with("entries", QJsonArray{1}), with("recordingURL", "not a url"), with("recordingURL", "http://[::1"),
        with("recordingURL", ""), with("recordingURL", 42), bytes(withEntry(o, "audioTime", "3.25")),
        bytes(withEntry(o, "source", 5)), "[]", "", R"({"startDate":1e400,"endDate":0,"entries":[]})",
        "{\"startDate\":0,\"endDate\":0,\"entries\":[]\xff}"}; // invalid UTF-8 outside a string
    for (const QJsonValue &v : {QJsonValue(QJsonValue::Undefined), QJsonValue(QJsonValue::Null)}) {
        for (const char *key : {"startDate", "endDate", "entries"})
            bad.push_back(with(key, v));
        for (const char *key : {"timestamp", "source", "target", "audioTime"})
            bad.push_back(bytes(withEntry(o, key, v)));
    }
    for (const QByteArray &json : bad)
        EXPECT_FALSE(CourseSession::decode(json)) << json.left(200).toStdString();
}

TEST(CourseRecords, HostileFilesNeverCrash)
{
    // Deeply nested values, in the entries and at the top.
    QByteArray deep =
        R"({"startDate":0,"endDate":0,"entries":)" + QByteArray(20000, '[') + QByteArray(20000, ']') + "}";
    EXPECT_FALSE(CourseSession::decode(deep));
    EXPECT_FALSE(CourseSession::decode(QByteArray(20000, '{')));
    EXPECT_FALSE(CourseSession::decode(QByteArray(20000, '[')));

    // Every prefix of a valid file either fails or (never) decodes: no crash.
    const QByteArray json = sampleCourse().encode();
    for (qsizetype n = 0; n < json.size(); ++n)
        EXPECT_FALSE(CourseSession::decode(json.left(n))) << n;
}

TEST(CourseRecords, NonFiniteNumbersStillGiveAReadableFile)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const CourseSession c(
        Date{nan}, Date{inf}, {TranslationEntry(Date{-inf}, "kept", QStringLiteral("保留"), nan)}, std::nullopt);
    const QByteArray json = c.encode();
    EXPECT_FALSE(json.contains("null")) << json.toStdString();
    const auto back = CourseSession::decode(json);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->entries.size(), 1u);
    EXPECT_EQ(back->entries[0].source, "kept");
    EXPECT_EQ(back->entries[0].audioTime, 0);
}

// One damaged byte costs a character, not the course: every entry reads, the
// bad sequences as U+FFFD, and the diagnostics log says so.
TEST(CourseRecords, InvalidUtf8IsReplacedAndLogged)
{
    QByteArray json = sampleCourse().encode();
    // "Hello everyone." with a stray byte, "大家好。" cut inside a character,
    // and a U+FFFD that was there all along.
    json.replace("Hello everyone.", "Hello\xff everyone.\xef\xbf\xbd");
    json.replace("\xe5\xa4\xa7\xe5\xae\xb6", "\xe5\xa4\xe5\xae\xb6");
    ASSERT_NE(json, sampleCourse().encode());
    ASSERT_FALSE(QJsonDocument::fromJson(json).isObject()); // Qt alone rejects the file

    resetDiagLog();
    const auto course = CourseSession::decode(json);
    ASSERT_TRUE(course);
    ASSERT_EQ(course->entries.size(), 2u);
    EXPECT_EQ(course->entries[0].source, QStringLiteral("Hello\uFFFD everyone.\uFFFD"));
    EXPECT_EQ(course->entries[0].target, QStringLiteral("\uFFFD\uFFFD家好。")); // one per byte
    EXPECT_EQ(course->entries[1].source, sampleCourse().entries[1].source);
    EXPECT_EQ(course->startDate, sampleCourse().startDate);
    EXPECT_EQ(course->recordingURL, sampleCourse().recordingURL);

    QFile log(diagPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("含 3 个无效的 UTF-8 字节，已替换为 U+FFFD 后读取"))) << text.toStdString();
    resetDiagLog();
}
