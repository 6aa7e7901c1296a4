#pragma once
// One Voxleaf per user: the first instance listens on a local socket named
// per user; a later launch connects, asks it to show its window and ends.
// A socket file left by an instance that was killed answers no connection
// and is replaced. A lock file next to it keeps two launches at the same
// moment from both becoming the first.
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace vox {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name`: the socket's full path; by default defaultName().
    explicit SingleInstance(const QString &name = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    // "$XDG_RUNTIME_DIR/voxleaf-<uid>.socket" (the runtime folder belongs to
    // the user alone), else "<temp>/voxleaf-<uid>.socket".
    static QString defaultName();
    QString name() const { return m_name; }

    enum class Role {
        First,  // this process goes on (listening, or alone when it could not listen)
        Second, // another instance runs and was asked to show itself
    };
    Role claim();
    // Why this instance could not listen (it then runs without), else empty.
    QString error() const { return m_error; }
    bool isListening() const;

Q_SIGNALS:
    // A later launch asked for the main window.
    void activationRequested();

private:
    bool askRunningInstance();
    void onNewConnection();

    QString m_name;
    QString m_error;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace vox
