#pragma once
// Test helpers: a temporary settings store, virtual time and a temporary
// Desktop installed as the process-wide ones for the life of the object;
// waiting for asynchronous answers; whole-file reads and writes.
#include "platform/AudioTypes.h"
#include "platform/Date.h"
#include "platform/Error.h"
#include "platform/Platform.h"
#include "platform/Settings.h"
#include "platform/Time.h"
#include "platform/fake/FakeDesktopServices.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vox {
inline void PrintTo(const Error &e, std::ostream *os)
{
    *os << "Error{" << e.domain.toStdString() << ", " << e.code << ", \"" << e.message.toStdString() << "\"}";
}
} // namespace vox

namespace vox::test {

class ScopedSettings {
public:
    ScopedSettings();
    ~ScopedSettings();
    Settings &operator*() { return *m_settings; }
    Settings *operator->() { return m_settings.get(); }
    QString path() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Settings> m_settings;
};

class ScopedVirtualTime {
public:
    ScopedVirtualTime();
    ~ScopedVirtualTime();
    VirtualTime &operator*() { return m_time; }
    VirtualTime *operator->() { return &m_time; }

private:
    VirtualTime m_time;
};

// The desktop services of the process-wide platform replaced by a fake whose
// Desktop is `desktop`, or a fresh folder in a temporary directory.
class ScopedDesktop {
public:
    explicit ScopedDesktop(const QString &desktop = {});
    ~ScopedDesktop();
    fake::FakeDesktopServices *operator->() { return m_services.get(); }
    QString path() const { return m_path; }
    QString courseFolder() const { return m_path + QStringLiteral("/课程记录"); }

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::shared_ptr<fake::FakeDesktopServices> m_services;
    Platform m_saved;
};

// Processes Qt events until `pred` holds or `timeoutMs` of wall time pass.
// For network replies from a local test server; no virtual time involved.
bool waitFor(const std::function<bool()> &pred, int timeoutMs = 5000);

// Calls `start` with a completion handler and processes events until the
// handler has run; an error value when it never does.
template <typename T, typename Start>
Result<T> awaitResult(Start start, int timeoutMs = 5000)
{
    std::optional<Result<T>> out;
    start([&](Result<T> r) { out = std::move(r); });
    waitFor([&] { return out.has_value(); }, timeoutMs);
    return out ? std::move(*out) : Result<T>(Error{QStringLiteral("test"), 0, QStringLiteral("no answer")});
}

// A planar buffer filled by f(channel, frameIndex).
template <typename F>
PcmBuffer makeBuffer(PcmFormat format, quint32 frames, F f)
{
    PcmBuffer b(format, frames);
    for (quint32 c = 0; c < format.channels; ++c)
        for (quint32 i = 0; i < frames; ++i)
            b.channel(c)[i] = f(c, i);
    b.setFrameLength(frames);
    return b;
}

// A date given in local time.
inline Date localDate(int y, int mo, int d, int h, int mi, int s)
{
    return Date::fromQDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
}

// A whole file's bytes, empty when it cannot be read.
QByteArray readFile(const QString &path);
// Writes `bytes` as the whole file; false when that failed.
bool writeFile(const QString &path, const QByteArray &bytes);

// A file of the private test microphones' folder (scripts/testmics.sh):
// clip48.wav, clip16.txt, ...
QString testMicsFile(const QString &name);
// Empty when the test microphones run, else why not.
QString testMicsMissing();

} // namespace vox::test

// Ends the running test when `why` (a reason, empty when all is there) says
// the test microphones are missing: skipped, or failed on CI, which always
// starts them.
#define VOX_REQUIRE_TEST_MICS(why)                                                                                    \
    if (const QString whyNot = (why); !whyNot.isEmpty()) {                                                           \
        if (qEnvironmentVariable("CI") == QLatin1String("true"))                                                      \
            FAIL() << "CI must run with the test microphones: " << whyNot.toStdString();                             \
        GTEST_SKIP() << whyNot.toStdString();                                                                         \
    }
