#include "TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace vox::test {

ScopedSettings::ScopedSettings()
    : m_settings(std::make_unique<Settings>(m_dir.filePath(QStringLiteral("settings.ini"))))
{
    setSettings(m_settings.get());
}

ScopedSettings::~ScopedSettings()
{
    setSettings(nullptr);
}

ScopedVirtualTime::ScopedVirtualTime()
{
    setTimeSource(&m_time);
}

ScopedVirtualTime::~ScopedVirtualTime()
{
    setTimeSource(nullptr);
}

ScopedDesktop::ScopedDesktop(const QString &desktop)
    : m_path(desktop.isEmpty() ? m_dir.filePath(QStringLiteral("Desktop")) : desktop)
    , m_services(std::make_shared<fake::FakeDesktopServices>(m_path))
    , m_saved(platform())
{
    QDir().mkpath(m_path);
    Platform p = m_saved;
    p.desktop = m_services;
    setPlatform(p);
}

ScopedDesktop::~ScopedDesktop()
{
    setPlatform(m_saved);
}

bool waitFor(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString testMicsFile(const QString &name)
{
    QString dir = qEnvironmentVariable("VOX_TESTMICS_DIR");
    if (dir.isEmpty())
        dir = QDir(qEnvironmentVariable("VOX_BUILD_DIR")).filePath(QStringLiteral("testmics"));
    return QDir(dir).filePath(name);
}

QString testMicsMissing()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return QStringLiteral("test microphones not running (PULSE_SERVER unset; start them with "
                              "scripts/testmics.sh start DIR and source DIR/env)");
    if (!QFile::exists(testMicsFile(QStringLiteral("clip48.wav"))))
        return QStringLiteral("clip files not found (set VOX_TESTMICS_DIR)");
    return {};
}

} // namespace vox::test
