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

} // namespace vox::test
