#include "UiSettings.h"

#include "platform/Settings.h"

#include <QKeySequence>

namespace vox {

UiSettings::UiSettings(QObject *parent) : QObject(parent)
{
    connect(&settings(), &Settings::changed, this, &UiSettings::onChanged);
}

void UiSettings::onChanged(const QString &key)
{
    if (key == QLatin1String(Keys::UiTheme))
        Q_EMIT themeNameChanged();
    else if (key == QLatin1String(Keys::SubtitleVisible))
        Q_EMIT subtitleVisibleChanged();
    else if (key == QLatin1String(Keys::VisibleTranslationCount))
        Q_EMIT visibleTranslationCountChanged();
    else if (key == QLatin1String(Keys::SubtitleOpacity))
        Q_EMIT subtitleOpacityChanged();
    else if (key == QLatin1String(Keys::SubtitleFontSize))
        Q_EMIT subtitleFontSizeChanged();
    else if (key == QLatin1String(Keys::DeepSeekApiKey))
        Q_EMIT deepseekApiKeyChanged();
    else if (key == QLatin1String(Keys::RecordShortcut))
        Q_EMIT recordShortcutChanged();
    Q_EMIT valueChanged(key);
}

QString UiSettings::themeName() const { return settings().string(QLatin1String(Keys::UiTheme)); }
void UiSettings::setThemeName(const QString &v) { settings().setValue(QLatin1String(Keys::UiTheme), v); }
bool UiSettings::subtitleVisible() const { return settings().boolean(QLatin1String(Keys::SubtitleVisible)); }
void UiSettings::setSubtitleVisible(bool v)
{
    if (!settings().contains(QLatin1String(Keys::SubtitleVisible)) || subtitleVisible() != v)
        settings().setValue(QLatin1String(Keys::SubtitleVisible), v);
}
int UiSettings::visibleTranslationCount() const
{
    return settings().integer(QLatin1String(Keys::VisibleTranslationCount));
}
void UiSettings::setVisibleTranslationCount(int v)
{
    settings().setValue(QLatin1String(Keys::VisibleTranslationCount), v);
}
double UiSettings::subtitleOpacity() const { return settings().real(QLatin1String(Keys::SubtitleOpacity)); }
void UiSettings::setSubtitleOpacity(double v) { settings().setValue(QLatin1String(Keys::SubtitleOpacity), v); }
double UiSettings::subtitleFontSize() const { return settings().real(QLatin1String(Keys::SubtitleFontSize)); }
void UiSettings::setSubtitleFontSize(double v) { settings().setValue(QLatin1String(Keys::SubtitleFontSize), v); }
QString UiSettings::deepseekApiKey() const { return settings().string(QLatin1String(Keys::DeepSeekApiKey)); }
void UiSettings::setDeepseekApiKey(const QString &v) { settings().setValue(QLatin1String(Keys::DeepSeekApiKey), v); }

std::optional<QString> UiSettings::normalizedShortcut(const QString &text)
{
    const QKeySequence sequence = QKeySequence::fromString(text.trimmed(), QKeySequence::PortableText);
    if (sequence.count() != 1)
        return std::nullopt;
    const Qt::Key key = sequence[0].key();
    if (key == Qt::Key_unknown || key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt
        || key == Qt::Key_Meta || key == 0)
        return std::nullopt;
    return sequence.toString(QKeySequence::PortableText);
}

QString UiSettings::recordShortcut() const
{
    const QString fallback = Settings::defaultValue(QLatin1String(Keys::RecordShortcut)).toString();
    return normalizedShortcut(settings().string(QLatin1String(Keys::RecordShortcut))).value_or(fallback);
}

bool UiSettings::setRecordShortcut(const QString &v)
{
    const auto normalized = normalizedShortcut(v);
    if (!normalized)
        return false;
    if (*normalized != recordShortcut() || !settings().contains(QLatin1String(Keys::RecordShortcut)))
        settings().setValue(QLatin1String(Keys::RecordShortcut), *normalized);
    return true;
}

QString UiSettings::recordShortcutLabel() const
{
    QString label = QKeySequence::fromString(recordShortcut(), QKeySequence::PortableText).toString(QKeySequence::NativeText);
    // The space bar by its Chinese name, whether or not Qt's own texts are loaded.
    label.replace(QLatin1String("Space"), QStringLiteral("空格"));
    return label;
}

QString UiSettings::recordButtonHelp() const
{
    return QStringLiteral("开始 / 停止语音识别（%1）").arg(recordShortcutLabel());
}

QVariant UiSettings::value(const QString &key) const { return settings().value(key); }
void UiSettings::setValue(const QString &key, const QVariant &value) { settings().setValue(key, value); }
bool UiSettings::contains(const QString &key) const { return settings().contains(key); }
void UiSettings::remove(const QString &key) { settings().remove(key); }

} // namespace vox
