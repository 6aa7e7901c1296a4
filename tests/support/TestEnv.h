#pragma once
// Test helpers: a temporary settings store and virtual time installed as the
// process-wide ones for the life of the object.
#include "platform/Settings.h"
#include "platform/Time.h"

#include <QTemporaryDir>
#include <memory>

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

// Processes Qt events until `pred` holds or `timeoutMs` of wall time pass.
// For network replies from a local test server; no virtual time involved.
bool waitFor(const std::function<bool()> &pred, int timeoutMs = 5000);

} // namespace vox::test
