#pragma once
// The values a course leaves behind: one translated sentence and one archived
// course, with the archive's JSON form.
#include "platform/Date.h"
#include "platform/Error.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <deque>
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

// Sentences as a live transcript keeps them (the oldest leave at the front).
using TranscriptEntries = std::deque<TranslationEntry>;

// The process that keeps a course file up to date while the course runs:
// its pid and the time the kernel started it (together they name one
// process, even after the pid is reused).
struct CourseOwner {
    qint64 pid = 0;
    QString started;
    bool operator==(const CourseOwner &) const = default;
};

struct CourseSession {
    QUuid id = QUuid::createUuid();
    Date startDate;
    Date endDate;
    std::vector<TranslationEntry> entries;
    std::optional<QUrl> recordingURL; // a local file URL

    // Optional keys, ignored by readers that do not know them.
    QStringList summaryPoints; // the live key points of the course
    // While the course runs its file is rewritten as sentences land: it is
    // marked in progress, names its owner, and carries the English still
    // waiting for translation so that a crash loses none of it.
    bool inProgress = false;
    std::optional<CourseOwner> owner;
    std::vector<TranslationEntry> pendingEntries;

    // Where the course was read from or last written to; never stored.
    QString archivePath;

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
