#pragma once
// The headless tool end to end: a lecture made from real recordings, and fixtures that run voxleaf-cli with a private home and
// local imitations of the translation services.
#include "support/HttpTestServer.h"
#include "support/SpeechMeasures.h"
#include "support/TestEnv.h"

#include "course/CourseArchive.h"
#include "course/CourseRecords.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>

namespace vox::test {

inline const QString kLibrivox = QStringLiteral("/usr/share/pocketsphinx/test/data/librivox");

struct Spoken {
    QString text;
    double start = 0; // where it starts in the made file, seconds
};

struct Lecture {
    QString path;
    std::vector<Spoken> sentences;
    QString reference() const
    {
        QStringList words;
        for (const auto &s : sentences)
            words << s.text;
        return words.join(QLatin1Char(' '));
    }
};

inline bool sox(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("sox"), args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

inline double soundSeconds(const QString &path)
{
    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return -1;
    sf_close(f);
    return double(info.frames) / info.samplerate;
}

// RMS of `seconds` of mono audio starting at `at`.
inline double rmsAt(const QString &path, double at, double seconds)
{
    SF_INFO info{};
    SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return -1;
    sf_seek(f, sf_count_t(at * info.samplerate), SEEK_SET);
    std::vector<float> buf(size_t(seconds * info.samplerate) * size_t(info.channels));
    const sf_count_t n = sf_readf_float(f, buf.data(), sf_count_t(seconds * info.samplerate));
    sf_close(f);
    double sum = 0;
    for (sf_count_t i = 0; i < n * info.channels; ++i)
        sum += double(buf[size_t(i)]) * buf[size_t(i)];
    return n > 0 ? std::sqrt(sum / double(n * info.channels)) : 0;
}

// The LibriVox recordings with pauses between them, as one 16 kHz mono file
// with a lead-in and faint noise, recording where each starts.
inline Lecture librivoxLecture(const QString &dir)
{
    const double gap = 1.5;
    const QStringList mono16k = {"-r", "16000", "-c", "1", "-b", "16"};
    const QString base = QDir(dir).filePath(QStringLiteral("librivox.wav"));
    Lecture lecture;
    lecture.path = base;
    QStringList parts = {base + ".lead.wav"};
    if (!sox(QStringList{"-n"} + mono16k + QStringList{parts[0], "trim", "0", QString::number(gap)}))
        return {};
    double t = gap;
    const QRegularExpression line(QStringLiteral("^<s> (.*) </s> \\((.*)\\)$"));
    const QString list = QString::fromUtf8(readFile(kLibrivox + QStringLiteral("/transcription")));
    for (const QString &l : list.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const auto m = line.match(l.trimmed());
        if (!m.hasMatch())
            continue;
        parts << QStringLiteral("%1.%2.wav").arg(base).arg(parts.size());
        const QStringList level = {"vol", "0.6", "pad", "0", QString::number(gap)};
        if (!sox(QStringList{kLibrivox + QLatin1Char('/') + m.captured(2) + QStringLiteral(".wav")} + mono16k
                 + QStringList{parts.back()} + level))
            return {};
        lecture.sentences.push_back({m.captured(1), t});
        t += soundSeconds(parts.back());
    }
    const QString clean = base + ".clean.wav", noise = base + ".noise.wav";
    if (parts.size() < 2 || !sox(parts + QStringList{clean})
        || !sox(QStringList{"-R", "-n"} + mono16k
                + QStringList{noise, "synth", QString::number(t + 1), "whitenoise", "vol", "0.003"})
        || !sox({"-m", clean, noise, lecture.path, "trim", "0", QString::number(t)}))
        return {};
    return lecture;
}

struct Landed {
    double audioTime;
    QString source, target;
};

struct CliRun {
    int exitCode = -1;
    bool finished = false;
    std::vector<Landed> entries;
    QString stdErr;

    QString joinedSources() const
    {
        QStringList s;
        for (const auto &e : entries)
            s << e.source;
        return s.join(QLatin1Char(' '));
    }
};

// voxleaf-cli with a private home, Desktop and diagnostics log; the
// translation services are down unless a test says otherwise.
class CliHome : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        QDir(m_home.path()).mkpath(QStringLiteral("Desktop"));
    }

    // A port nobody listens on stands for a server that is down.
    static QString down() { return QStringLiteral("http://127.0.0.1:9"); }
    QProcessEnvironment environment(const QString &deepseek = down()) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_DESKTOP_DIR"), m_home.filePath(QStringLiteral("Desktop")));
        env.insert(QStringLiteral("VOXLEAF_DIAG_LOG"), m_home.filePath(QStringLiteral("diag.log")));
        env.insert(QStringLiteral("DEEPSEEK_API_KEY"), QStringLiteral("sk-test"));
        env.insert(QStringLiteral("VOXLEAF_DEEPSEEK_BASE_URL"), deepseek);
        env.insert(QStringLiteral("VOXLEAF_LOCAL_TRANSLATION_URL"), down());
        return env;
    }
    // Starts voxleaf-cli in the background.
    std::unique_ptr<QProcess> startCli(const QStringList &args, const QProcessEnvironment &env) const
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(VOX_CLI_PATH), args);
        EXPECT_TRUE(p->waitForStarted());
        return p;
    }
    std::unique_ptr<QProcess> startCli(const QStringList &args) const { return startCli(args, environment()); }
    static bool ended(QProcess &p, int timeoutMs = 60000)
    {
        return waitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs);
    }
    QString diagLog() const { return QString::fromUtf8(readFile(m_home.filePath(QStringLiteral("diag.log")))); }

    QTemporaryDir m_home;
};

class EndToEnd : public CliHome {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<QTemporaryDir>();
        if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty())
            return;
        s_librivox = librivoxLecture(s_dir->path());
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override
    {
        if (!QFile::exists(s_librivox.path))
            GTEST_SKIP() << "sox or the pocketsphinx test recordings are missing";
        CliHome::SetUp();
        m_deepseek.installDeepSeek([](const QString &s) { return QStringLiteral("译：") + s; });
    }

    QProcessEnvironment environment(bool serversUp = true) const
    {
        return CliHome::environment(serversUp ? m_deepseek.url().toString() : down());
    }
    std::unique_ptr<QProcess> startCli(const QStringList &args, bool serversUp = true) const
    {
        return CliHome::startCli(args, environment(serversUp));
    }

    CliRun transcribe(const QString &file, const QStringList &extra, bool serversUp = true)
    {
        CliRun r;
        auto p = startCli(QStringList{"transcribe", file, "--json"} + extra, serversUp);
        // The imitation server answers while this loop processes events.
        r.finished = ended(*p, 600000);
        if (!r.finished) {
            p->kill();
            p->waitForFinished();
        }
        r.exitCode = p->exitCode();
        r.stdErr = QString::fromUtf8(p->readAllStandardError());
        r.entries = parseEntries(QString::fromUtf8(p->readAllStandardOutput()));
        return r;
    }

    // The sentences a run printed with --json, one object per line.
    static std::vector<Landed> parseEntries(const QString &out)
    {
        std::vector<Landed> entries;
        for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            EXPECT_FALSE(o.isEmpty()) << "not a JSON object on standard output: " << line.toStdString();
            entries.push_back(
                {o.value("audioTime").toDouble(-1), o.value("source").toString(), o.value("target").toString()});
        }
        return entries;
    }

    QString courseFolder(const QString &sub) const
    {
        return m_home.filePath(QStringLiteral("Desktop/课程记录/") + sub);
    }
    // Every course file on the Desktop as it is (finished or in progress).
    std::vector<CourseSession> courseFiles() const
    {
        std::vector<CourseSession> out;
        QDir dir(courseFolder(QStringLiteral("记录")));
        for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
            auto c = CourseSession::decode(readFile(dir.filePath(name)));
            EXPECT_TRUE(c.has_value()) << name.toStdString();
            if (c) {
                c->archivePath = dir.filePath(name);
                out.push_back(std::move(*c));
            }
        }
        return out;
    }

    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline Lecture s_librivox;
    HttpTestServer m_deepseek;
};

} // namespace vox::test
