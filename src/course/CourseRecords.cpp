#include "CourseRecords.h"

#include "platform/Diag.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringDecoder>
#include <cmath>

namespace vox {

namespace {
// JSON has no NaN or infinity: such a value would be written as null and make
// the whole file unreadable. It is stored as 0 instead.
double storable(double v)
{
    return std::isfinite(v) ? v : 0.0;
}
} // namespace

QJsonObject TranslationEntry::toJson() const
{
    return QJsonObject{
        {QStringLiteral("timestamp"), storable(timestamp.sinceReference)},
        {QStringLiteral("source"), source},
        {QStringLiteral("target"), target},
        {QStringLiteral("audioTime"), storable(audioTime)},
    };
}

std::optional<TranslationEntry> TranslationEntry::fromJson(const QJsonValue &v)
{
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject o = v.toObject();
    const QJsonValue ts = o.value(QStringLiteral("timestamp"));
    const QJsonValue src = o.value(QStringLiteral("source"));
    const QJsonValue tgt = o.value(QStringLiteral("target"));
    const QJsonValue at = o.value(QStringLiteral("audioTime"));
    if (!ts.isDouble() || !src.isString() || !tgt.isString() || !at.isDouble())
        return std::nullopt;
    return TranslationEntry(Date{ts.toDouble()}, src.toString(), tgt.toString(), at.toDouble());
}

QJsonObject CourseSession::toJson() const
{
    QJsonArray arr;
    for (const auto &e : entries)
        arr.append(e.toJson());
    QJsonObject o{
        {QStringLiteral("startDate"), storable(startDate.sinceReference)},
        {QStringLiteral("endDate"), storable(endDate.sinceReference)},
        {QStringLiteral("entries"), arr},
    };
    if (recordingURL)
        o.insert(QStringLiteral("recordingURL"), QString::fromUtf8(recordingURL->toEncoded()));
    if (!summaryPoints.isEmpty())
        o.insert(QStringLiteral("summaryPoints"), QJsonArray::fromStringList(summaryPoints));
    if (inProgress) {
        o.insert(QStringLiteral("inProgress"), true);
        QJsonArray pending;
        for (const auto &e : pendingEntries)
            pending.append(e.toJson());
        o.insert(QStringLiteral("pendingEntries"), pending);
        if (owner)
            o.insert(QStringLiteral("owner"), QJsonObject{{QStringLiteral("pid"), owner->pid},
                                                          {QStringLiteral("started"), owner->started}});
    }
    return o;
}

QByteArray CourseSession::encode() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<CourseSession> CourseSession::fromJson(const QJsonObject &o)
{
    const QJsonValue start = o.value(QStringLiteral("startDate"));
    const QJsonValue end = o.value(QStringLiteral("endDate"));
    const QJsonValue entries = o.value(QStringLiteral("entries"));
    if (!start.isDouble() || !end.isDouble() || !entries.isArray())
        return std::nullopt;
    CourseSession c;
    c.startDate = Date{start.toDouble()};
    c.endDate = Date{end.toDouble()};
    const QJsonArray arr = entries.toArray();
    c.entries.reserve(size_t(arr.size()));
    for (const QJsonValue &v : arr) {
        auto e = TranslationEntry::fromJson(v);
        if (!e)
            return std::nullopt;
        c.entries.push_back(std::move(*e));
    }
    const QJsonValue rec = o.value(QStringLiteral("recordingURL"));
    if (rec.isString()) {
        const QUrl url = QUrl(rec.toString(), QUrl::StrictMode);
        if (!url.isValid() || url.scheme().isEmpty())
            return std::nullopt;
        c.recordingURL = url;
    } else if (!rec.isUndefined() && !rec.isNull()) {
        return std::nullopt;
    }
    // The optional keys never make a course unreadable: a value of the wrong
    // kind is passed over.
    for (const QJsonValue &v : o.value(QStringLiteral("summaryPoints")).toArray())
        if (v.isString())
            c.summaryPoints.append(v.toString());
    c.inProgress = o.value(QStringLiteral("inProgress")).toBool(false);
    if (c.inProgress) {
        for (const QJsonValue &v : o.value(QStringLiteral("pendingEntries")).toArray())
            if (auto e = TranslationEntry::fromJson(v))
                c.pendingEntries.push_back(std::move(*e));
        const QJsonObject owner = o.value(QStringLiteral("owner")).toObject();
        if (owner.value(QStringLiteral("pid")).isDouble())
            c.owner = CourseOwner{owner.value(QStringLiteral("pid")).toInteger(),
                                  owner.value(QStringLiteral("started")).toString()};
    }
    return c;
}

std::optional<CourseSession> CourseSession::decode(const QByteArray &json)
{
    QJsonParseError err{};
    QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error == QJsonParseError::IllegalUTF8String) {
        // A damaged byte in one sentence must not cost the whole course: the
        // text is read with U+FFFD in place of every invalid byte.
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(json);
        const qsizetype replaced = text.count(QChar::ReplacementCharacter) - json.count("\xEF\xBF\xBD");
        doc = QJsonDocument::fromJson(text.toUtf8(), &err);
        if (err.error == QJsonParseError::NoError && doc.isObject()) {
            auto course = fromJson(doc.object());
            if (course)
                diag(QStringLiteral("课程记录（开始于 %1）含 %2 个无效的 UTF-8 字节，已替换为 U+FFFD 后读取")
                         .arg(course->startDate.toQDateTime().toString(Qt::ISODate))
                         .arg(replaced));
            return course;
        }
    }
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return fromJson(doc.object());
}

} // namespace vox
