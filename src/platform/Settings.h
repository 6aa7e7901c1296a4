#pragma once
// The user's defaults store: every stored key with its type and default, over
// QSettings (native format, organisation and application "Voxleaf"). Keys are
// kept verbatim for callers; underneath they are encoded so that "/", "\",
// spaces or Chinese never turn into QSettings groups.
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace vox {

namespace Keys {
inline constexpr auto UiTheme = "ui_theme";                                 // text, "cyberpunk"
inline constexpr auto SubtitleVisible = "subtitle_visible";                 // bool, false
inline constexpr auto VisibleTranslationCount = "visible_translation_count"; // int, 10
inline constexpr auto SubtitleOpacity = "subtitle_opacity";                 // double, 0.95
inline constexpr auto SubtitleFontSize = "subtitle_font_size";              // double, 15
inline constexpr auto FloatingSubtitleFrame = "floatingSubtitleFrame";      // text, absent
inline constexpr auto CustomBackgroundImagePath = "customBackgroundImagePath"; // text, absent
inline constexpr auto DeepSeekApiKey = "deepseek_api_key";                  // text, ""
inline constexpr auto CourseSubject = "course_subject";                     // text, ""
inline constexpr auto GlossaryTerms = "glossary_terms";                     // bytes, absent
inline constexpr auto LocalTranslationUrl = "local_translation_url";        // text, "http://127.0.0.1:5000"
inline constexpr auto RecordShortcut = "record_shortcut";                   // text (portable key sequence), "Ctrl+Space"
inline constexpr auto WhisperModelPath = "whisper_model_path";             // text, "" (PocketSphinx alone)
inline constexpr auto WhisperDownloadUrl = "whisper_download_url";         // text, the publisher's address
inline constexpr auto TranslationCachePrefix = "translation_cache_v1_";
} // namespace Keys

class Settings : public QObject {
    Q_OBJECT
public:
    // The user's store (~/.config/Voxleaf/Voxleaf.conf).
    Settings(QObject *parent = nullptr);
    // A store in an explicit file (tests, tools).
    explicit Settings(const QString &iniPath, QObject *parent = nullptr);

    // The default of a known key (invalid QVariant when it has none).
    static QVariant defaultValue(const QString &key);

    bool contains(const QString &key) const;
    // The stored value, or the key's default when absent.
    QVariant value(const QString &key) const;
    QString string(const QString &key) const { return value(key).toString(); }
    bool boolean(const QString &key) const { return value(key).toBool(); }
    int integer(const QString &key) const { return value(key).toInt(); }
    double real(const QString &key) const { return value(key).toDouble(); }
    QByteArray bytes(const QString &key) const { return value(key).toByteArray(); }

    Q_INVOKABLE void setValue(const QString &key, const QVariant &value);
    Q_INVOKABLE void remove(const QString &key);
    // Removes several keys with a single write of the store.
    void remove(const QStringList &keys);
    // Keys as callers wrote them, filtered by prefix (empty prefix: all).
    QStringList keys(const QString &prefix = {}) const;
    void sync();

    QString fileName() const;

    // A value that reads as stored for this process only and is never
    // written (the headless tool's key from the environment). Writing the
    // key drops the override.
    void setOverride(const QString &key, const QVariant &value);

    static QString encodeKey(const QString &key);
    static QString decodeKey(const QString &stored);

Q_SIGNALS:
    void changed(const QString &key);

private:
    void restrictPermissions();
    void createPrivately();
    std::unique_ptr<QSettings> m_s;
    QHash<QString, QVariant> m_overrides;
};

// The process-wide store. Defaults to the user's store; tests install their
// own (a temporary file) before building the objects that use it.
Settings &settings();
void setSettings(Settings *s); // nullptr restores the user's store

} // namespace vox
