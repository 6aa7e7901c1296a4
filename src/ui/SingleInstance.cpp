#include "SingleInstance.h"

#include "platform/Diag.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <unistd.h>

namespace vox {

namespace {
constexpr int kConnectTimeoutMs = 1000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");
} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent), m_name(name.isEmpty() ? defaultName() : name)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName()
{
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/voxleaf-%1.socket").arg(::getuid());
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

bool SingleInstance::askRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kActivate);
    const bool sent = socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kConnectTimeoutMs);
    return sent;
}

SingleInstance::Role SingleInstance::claim()
{
    // Only one launch at a time checks and takes the name.
    QLockFile lock(m_name + QStringLiteral(".lock"));
    lock.setStaleLockTime(0); // a lock left by a dead process is taken over
    const bool locked = lock.tryLock(3 * kConnectTimeoutMs);

    if (askRunningInstance())
        return Role::Second;

    // No one answers: a socket file still there was left by a killed
    // instance and only blocks the name.
    QLocalServer::removeServer(m_name);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        m_error = QStringLiteral("无法监听 %1：%2").arg(m_name, m_server->errorString());
        m_server.reset();
    } else {
        connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    }
    if (!locked && m_error.isEmpty())
        m_error = QStringLiteral("未能锁定 %1.lock，仍以本实例继续").arg(m_name);
    return Role::First;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto read = [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == kActivate) {
                    diag(QStringLiteral("另一次启动请求显示主窗口"));
                    Q_EMIT activationRequested();
                }
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

} // namespace vox
