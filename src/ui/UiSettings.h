#pragma once
// The stored settings the views bind directly: reading a property reads the
// store, writing it writes the store at once, and any change of the key (from
// any window or service) notifies the views.
#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace vox {

class UiSettings : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("App.settings")
    // Raw stored text (may be unrecognised; the theme model normalises it).
    Q_PROPERTY(QString themeName READ themeName WRITE setThemeName NOTIFY themeNameChanged)
    Q_PROPERTY(bool subtitleVisible READ subtitleVisible WRITE setSubtitleVisible NOTIFY subtitleVisibleChanged)
    Q_PROPERTY(int visibleTranslationCount READ visibleTranslationCount WRITE setVisibleTranslationCount NOTIFY
                   visibleTranslationCountChanged)
    // The stored count clamped to 1…100.
    Q_PROPERTY(int clampedVisibleCount READ clampedVisibleCount NOTIFY visibleTranslationCountChanged)
    Q_PROPERTY(double subtitleOpacity READ subtitleOpacity WRITE setSubtitleOpacity NOTIFY subtitleOpacityChanged)
    Q_PROPERTY(double subtitleFontSize READ subtitleFontSize WRITE setSubtitleFontSize NOTIFY subtitleFontSizeChanged)
    Q_PROPERTY(QString deepseekApiKey READ deepseekApiKey WRITE setDeepseekApiKey NOTIFY deepseekApiKeyChanged)
    // The key that starts and stops recognition, as portable text
    // ("Ctrl+Space"); a stored value that is no single key combination reads
    // as the default. Chinese input methods take Ctrl+Space for themselves,
    // so the user may choose another.
    Q_PROPERTY(QString recordShortcut READ recordShortcut WRITE setRecordShortcut NOTIFY recordShortcutChanged)
    // The same as the user reads it, and the record button's help text.
    Q_PROPERTY(QString recordShortcutLabel READ recordShortcutLabel NOTIFY recordShortcutChanged)
    Q_PROPERTY(QString recordButtonHelp READ recordButtonHelp NOTIFY recordShortcutChanged)
public:
    explicit UiSettings(QObject *parent = nullptr);

    static int clampVisibleCount(int n) { return n < 1 ? 1 : (n > 100 ? 100 : n); }

    QString themeName() const;
    void setThemeName(const QString &v);
    bool subtitleVisible() const;
    void setSubtitleVisible(bool v);
    int visibleTranslationCount() const;
    void setVisibleTranslationCount(int v);
    int clampedVisibleCount() const { return clampVisibleCount(visibleTranslationCount()); }
    double subtitleOpacity() const;
    void setSubtitleOpacity(double v);
    double subtitleFontSize() const;
    void setSubtitleFontSize(double v);
    QString deepseekApiKey() const;
    void setDeepseekApiKey(const QString &v);
    QString recordShortcut() const;
    // Stores `v` when it is a single key combination with a key that is not
    // only a modifier; returns false (and stores nothing) otherwise.
    Q_INVOKABLE bool setRecordShortcut(const QString &v);
    QString recordShortcutLabel() const;
    QString recordButtonHelp() const;
    // `text` as stored (portable text), or none when it is no usable shortcut.
    static std::optional<QString> normalizedShortcut(const QString &text);

    // Any key, for views that need one not listed above.
    Q_INVOKABLE QVariant value(const QString &key) const;
    Q_INVOKABLE void setValue(const QString &key, const QVariant &value);
    Q_INVOKABLE bool contains(const QString &key) const;
    Q_INVOKABLE void remove(const QString &key);

Q_SIGNALS:
    void themeNameChanged();
    void subtitleVisibleChanged();
    void visibleTranslationCountChanged();
    void subtitleOpacityChanged();
    void subtitleFontSizeChanged();
    void deepseekApiKeyChanged();
    void recordShortcutChanged();
    void valueChanged(const QString &key);

private:
    void onChanged(const QString &key);
};

} // namespace vox
