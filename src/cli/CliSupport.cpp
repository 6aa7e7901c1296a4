#include "CliSupport.h"

#include "platform/Settings.h"

#include <cstdio>
#include <unistd.h>

namespace vox::cli {

void out(const QString &line)
{
    const QByteArray b = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
    std::fflush(stdout);
}

void err(const QString &line)
{
    const QByteArray b = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
    std::fflush(stderr);
}

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

QString bracketTime(double seconds)
{
    if (!(seconds > 0))
        seconds = 0;
    const long long ms = static_cast<long long>(std::min(seconds, 1e12) * 1000.0);
    return QString::asprintf("[%02lld:%02lld:%02lld.%03lld]", ms / 3600000, (ms / 60000) % 60, (ms / 1000) % 60,
                             ms % 1000);
}

QString resolveApiKey()
{
    const QString stored = settings().string(QLatin1String(Keys::DeepSeekApiKey)).trimmed();
    if (!stored.isEmpty())
        return stored;
    const QString env = qEnvironmentVariable("DEEPSEEK_API_KEY").trimmed();
    if (!env.isEmpty())
        settings().setOverride(QLatin1String(Keys::DeepSeekApiKey), env);
    return env;
}

} // namespace vox::cli
