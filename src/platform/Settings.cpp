#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>
#include <QHash>

namespace vox {

namespace {
bool plainKeyChar(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
}
int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}
} // namespace

// Letters, digits, "_" and "." stay as they are; every other byte of the UTF-8
// form becomes "-" and two hex digits. Reversible and free of "/" and "\".
QString Settings::encodeKey(const QString &key)
{
    QString out;
    out.reserve(key.size());
    const QByteArray utf8 = key.toUtf8();
    for (unsigned char b : utf8) {
        if (b < 0x80 && plainKeyChar(b))
            out.append(QChar(b));
        else
            out.append(QStringLiteral("-%1").arg(b, 2, 16, QLatin1Char('0')).toUpper());
    }
    return out;
}

QString Settings::decodeKey(const QString &stored)
{
    QByteArray utf8;
    utf8.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar c = stored.at(i);
        if (c == QLatin1Char('-') && i + 2 < stored.size()) {
            const int hi = hexValue(stored.at(i + 1)), lo = hexValue(stored.at(i + 2));
            if (hi >= 0 && lo >= 0) {
                utf8.append(char(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        utf8.append(c.toLatin1());
    }
    return QString::fromUtf8(utf8);
}

Settings::Settings(QObject *parent)
    : QObject(parent), m_s(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                      QStringLiteral("Voxleaf"), QStringLiteral("Voxleaf")))
{
    createPrivately();
}

Settings::Settings(const QString &iniPath, QObject *parent)
    : QObject(parent), m_s(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
    createPrivately();
}

// The store holds the API key: it is created readable by its owner only, so
// there is no moment at which another user could read it, and an existing
// store left readable by others is tightened at once, not at the first save.
// (Saves copy the permissions of the existing file.)
void Settings::createPrivately()
{
    const QString path = m_s->fileName();
    if (path.isEmpty())
        return;
    if (QFile::exists(path)) {
        restrictPermissions();
        return;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

QVariant Settings::defaultValue(const QString &key)
{
    static const QHash<QString, QVariant> defaults = {
        {Keys::UiTheme, QStringLiteral("cyberpunk")},
        {Keys::SubtitleVisible, false},
        {Keys::VisibleTranslationCount, 10},
        {Keys::SubtitleOpacity, 0.95},
        {Keys::SubtitleFontSize, 15.0},
        {Keys::DeepSeekApiKey, QString()},
        {Keys::CourseSubject, QString()},
        {Keys::LocalTranslationUrl, QStringLiteral("http://127.0.0.1:5000")},
        {Keys::RecordShortcut, QStringLiteral("Ctrl+Space")},
        {Keys::WhisperModelPath, QString()},
        {Keys::WhisperDownloadUrl, QStringLiteral("https://huggingface.co/ggerganov/whisper.cpp/resolve/main")},
    };
    return defaults.value(key);
}

bool Settings::contains(const QString &key) const
{
    return m_overrides.contains(key) || m_s->contains(encodeKey(key));
}

void Settings::setOverride(const QString &key, const QVariant &value)
{
    m_overrides.insert(key, value);
    Q_EMIT changed(key);
}

QVariant Settings::value(const QString &key) const
{
    if (auto it = m_overrides.constFind(key); it != m_overrides.constEnd())
        return *it;
    const QString k = encodeKey(key);
    if (m_s->contains(k))
        return m_s->value(k);
    return defaultValue(key);
}

void Settings::setValue(const QString &key, const QVariant &value)
{
    m_overrides.remove(key);
    m_s->setValue(encodeKey(key), value);
    sync();
    Q_EMIT changed(key);
}

void Settings::remove(const QString &key)
{
    m_overrides.remove(key);
    m_s->remove(encodeKey(key));
    sync();
    Q_EMIT changed(key);
}

void Settings::remove(const QStringList &keys)
{
    for (const QString &key : keys) {
        m_overrides.remove(key);
        m_s->remove(encodeKey(key));
    }
    sync();
    for (const QString &key : keys)
        Q_EMIT changed(key);
}

QStringList Settings::keys(const QString &prefix) const
{
    QStringList out;
    const QStringList stored = m_s->childKeys();
    out.reserve(stored.size());
    for (const QString &s : stored) {
        QString k = decodeKey(s);
        if (prefix.isEmpty() || k.startsWith(prefix))
            out.append(std::move(k));
    }
    return out;
}

void Settings::sync()
{
    m_s->sync();
    restrictPermissions();
}

QString Settings::fileName() const
{
    return m_s->fileName();
}

void Settings::restrictPermissions()
{
    QFile f(m_s->fileName());
    constexpr QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
        | QFile::WriteOther | QFile::ExeOther;
    if (f.exists() && (f.permissions() & others))
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

namespace {
Settings *g_settings = nullptr;
}

Settings &settings()
{
    if (g_settings)
        return *g_settings;
    static Settings user;
    return user;
}

void setSettings(Settings *s)
{
    g_settings = s;
}

} // namespace vox
