#include "TerminationSignals.h"

#include "platform/Diag.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vox {

namespace {

std::atomic<int> g_writeFd{-1};
std::atomic<int> g_count{0};
struct sigaction g_previous[2];
constexpr int kSignals[2] = {SIGTERM, SIGINT};

extern "C" void onTerminationSignal(int sig)
{
    const int saved = errno;
    if (g_count.fetch_add(1) + 1 >= 3) {
        // The loop does not answer: the signal's default action.
        ::signal(sig, SIG_DFL);
        ::raise(sig);
    }
    const int fd = g_writeFd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(sig);
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (g_writeFd.load() >= 0) {
        diag(QStringLiteral("终止信号处理已由另一对象安装"));
        return;
    }
    if (::pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        diag(QStringLiteral("终止信号处理无法创建管道：") + QString::fromLocal8Bit(std::strerror(errno)));
        m_fds[0] = m_fds[1] = -1;
        return;
    }
    g_count.store(0);
    g_writeFd.store(m_fds[1]);
    m_notifier = std::make_unique<QSocketNotifier>(m_fds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &sa, &g_previous[i]);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    g_writeFd.store(-1);
    m_notifier.reset();
    ::close(m_fds[0]);
    ::close(m_fds[1]);
}

void TerminationSignals::readPipe()
{
    unsigned char buffer[16];
    ssize_t n;
    while ((n = ::read(m_fds[0], buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            diag(QStringLiteral("收到终止信号 %1").arg(int(buffer[i])));
            Q_EMIT received(int(buffer[i]));
        }
    }
}

} // namespace vox
