#pragma once
// Shared set-up of the review tests: a temporary settings store and Desktop,
// and a local DeepSeek imitation that every chat-completions call reaches.
#include "course/CourseRecords.h"
#include "support/ChatServer.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace vox::test {

// n entries "sentence i" / "句子 i", one per second from `start` + 1 s.
inline std::vector<TranslationEntry> makeEntries(int n, Date start = Date::fromUnix(1'750'000'000))
{
    std::vector<TranslationEntry> v;
    v.reserve(size_t(n));
    for (int i = 1; i <= n; ++i)
        v.emplace_back(
            start.addSeconds(i), QStringLiteral("sentence %1").arg(i), QStringLiteral("句子 %1").arg(i), 1.0 * i);
    return v;
}

// A course of `n` such entries from 14:03:09 on 2 May 2025 (local time),
// `seconds` long, with a recording that does not exist.
inline CourseSession makeCourse(int n, double seconds = 3725)
{
    const Date start = localDate(2025, 5, 2, 14, 3, 9);
    return CourseSession(start, start.addSeconds(seconds), makeEntries(n, start),
        QUrl::fromLocalFile(QStringLiteral("/nowhere/rec.caf")));
}

class ReviewFixture : public ::testing::Test {
protected:
    void setKey(const QString &key) { settings->setValue(QStringLiteral("deepseek_api_key"), key); }
    QString courseFolder() const { return desktop.courseFolder(); }

    ScopedSettings settings;
    ChatServer server;
    ScopedDesktop desktop;
};

} // namespace vox::test
