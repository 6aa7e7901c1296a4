#pragma once
// The values a course leaves behind: one translated sentence and one archived
// course, with the archive's JSON form.
#include "platform/Date.h"
#include "platform/Error.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>
#include <vector>

namespace vox {

struct TranslationEntry {
    QUuid id = QUuid::createUuid();
    Date timestamp;     // when the entry was appended (wall clock)
    QString source;     // English as recognized
    QString target;     // Chinese, or the placeholder
    double audioTime = 0; // offset into the course recording, never negative

    TranslationEntry() = default;
    TranslationEntry(Date ts, QString src, QString tgt, double audio)
        : timestamp(ts), source(std::move(src)), target(std::move(tgt)), audioTime(audio) {}

    bool operator==(const TranslationEntry &) const = default;

    QJsonObject toJson() const;
    // Strict: every key required with its JSON type; a fresh id.
    static std::optional<TranslationEntry> fromJson(const QJsonValue &v);
};

struct CourseSession {
    QUuid id = QUuid::createUuid();
    Date startDate;
    Date endDate;
    std::vector<TranslationEntry> entries;
    std::optional<QUrl> recordingURL; // a local file URL

    CourseSession() = default;
    CourseSession(Date start, Date end, std::vector<TranslationEntry> e, std::optional<QUrl> rec)
        : startDate(start), endDate(end), entries(std::move(e)), recordingURL(std::move(rec)) {}

    bool operator==(const CourseSession &) const = default;

    QJsonObject toJson() const;
    // Compact JSON; ids are never written.
    QByteArray encode() const;
    // Strict decoding of a whole file: any missing key, wrong type, string
    // date or invalid URL fails it. "recordingURL": null reads as absent.
    // Invalid UTF-8 does not: each invalid byte reads as U+FFFD, and the
    // diagnostics log says how many there were.
    static std::optional<CourseSession> decode(const QByteArray &json);
    static std::optional<CourseSession> fromJson(const QJsonObject &o);

    // Local path of the recording, empty when absent.
    QString recordingPath() const { return recordingURL ? recordingURL->toLocalFile() : QString(); }
};

} // namespace vox
