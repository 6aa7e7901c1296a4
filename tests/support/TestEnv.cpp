#include "TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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

} // namespace vox::test
