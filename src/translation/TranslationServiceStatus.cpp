#include "TranslationServiceStatus.h"

#include "platform/Settings.h"

namespace vox {

namespace {
QString shown(const QUrl &address)
{
    return address.toString(QUrl::RemoveUserInfo);
}
} // namespace

TranslationServiceStatus::TranslationServiceStatus(QObject *parent) : QObject(parent)
{
    connect(&settings(), &Settings::changed, this, [this](const QString &key) {
        if (key == QLatin1String(Keys::DeepSeekApiKey))
            refresh();
    });
    refresh();
}

bool TranslationServiceStatus::needsAttention() const
{
    return m_state == WithoutChinese || m_state == NotAnswering || m_state == NoApiKey;
}

QString TranslationServiceStatus::checkingText()
{
    return QStringLiteral("正在检测本地翻译服务…");
}

QString TranslationServiceStatus::connectedText(const QUrl &address)
{
    if (address.isEmpty())
        return QStringLiteral("本地翻译服务已连接");
    return QStringLiteral("本地翻译服务已连接（%1）").arg(shown(address));
}

QString TranslationServiceStatus::withoutChineseText(const QUrl &address)
{
    return QStringLiteral("本地翻译服务已连接（%1），但未安装英译中语言包").arg(shown(address));
}

QString TranslationServiceStatus::notAnsweringText(const QUrl &address, const QString &why)
{
    const QString text = QStringLiteral("本地翻译服务未响应（%1）").arg(shown(address));
    return why.isEmpty() ? text : text + QStringLiteral("：") + why;
}

void TranslationServiceStatus::setOnline(bool online)
{
    if (m_online == online)
        return;
    m_online = online;
    refresh();
}

void TranslationServiceStatus::localAnswered(const QUrl &address, bool chineseAvailable)
{
    m_localAddress = address;
    m_localState = chineseAvailable ? Connected : WithoutChinese;
    refresh();
}

void TranslationServiceStatus::localNotAnswering(const QUrl &address)
{
    m_localAddress = address;
    m_localState = NotAnswering;
    refresh();
}

void TranslationServiceStatus::localTranslated(const QUrl &address)
{
    m_localAddress = address;
    m_localState = Connected;
    refresh();
}

void TranslationServiceStatus::refresh()
{
    if (m_online) {
        if (settings().string(QLatin1String(Keys::DeepSeekApiKey)).isEmpty())
            set(NoApiKey, QStringLiteral("DeepSeek 在线翻译：未填写 API Key"));
        else
            set(Online, QStringLiteral("DeepSeek 在线翻译"));
        return;
    }
    switch (m_localState) {
    case Connected:
        set(Connected, connectedText(m_localAddress));
        return;
    case WithoutChinese:
        set(WithoutChinese, withoutChineseText(m_localAddress));
        return;
    case NotAnswering:
        set(NotAnswering, notAnsweringText(m_localAddress));
        return;
    default:
        set(Checking, checkingText());
        return;
    }
}

void TranslationServiceStatus::set(State state, const QString &text)
{
    if (state == m_state && text == m_text)
        return;
    m_state = state;
    m_text = text;
    Q_EMIT changed();
}

} // namespace vox
