#include "platform/Settings.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vox;

namespace {

unsigned fileMode(const QString &path)
{
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

} // namespace

TEST(Settings, AwkwardKeysBytesAndStringsRoundTripAndKeysListByPrefix)
{
    test::ScopedSettings store;
    const QString p = QString::fromLatin1(Keys::TranslationCachePrefix);
    const QStringList keys = {
        p + "a/b/c", p + "back\\slash", p + "pipe|pipe", p + "with spaces  and\ttab",
        p + QStringLiteral("中文键 – ümlaut 😀"), p + "-2F looks encoded %2F", p + "=;#[section]\"quoted\"",
        "/leading/slash",
        "UI_THEME", // keys are case-sensitive
    };
    for (int i = 0; i < keys.size(); ++i)
        store->setValue(keys[i], QStringLiteral("value %1 值").arg(i));
    store->setValue(Keys::UiTheme, QStringLiteral("ocean"));

    // A fresh object over the same file sees exactly what was written.
    Settings reread(store.path());
    for (int i = 0; i < keys.size(); ++i) {
        EXPECT_TRUE(reread.contains(keys[i])) << keys[i].toStdString();
        EXPECT_EQ(reread.string(keys[i]), QStringLiteral("value %1 值").arg(i)) << keys[i].toStdString();
    }
    EXPECT_EQ(reread.string(Keys::UiTheme), "ocean");
    EXPECT_FALSE(reread.contains(p + "a/b"));

    QStringList listed = reread.keys(p);
    listed.sort();
    QStringList expected = keys.mid(0, 7);
    expected.sort();
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(reread.keys().size(), keys.size() + 1);

    reread.remove(keys[0]);
    EXPECT_EQ(Settings(store.path()).keys(p).size(), 6);

    // Bytes and strings that look like the file's own markup come back unchanged.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    const QList<QByteArray> values = {all, QByteArray(), QByteArray("@ByteArray(fake)"),
        QByteArray("[{\"id\":\"x\",\"source\":\"a\\nb\"}]"), QByteArray(300000, '\0')};
    for (int i = 0; i < values.size(); ++i)
        store->setValue(QStringLiteral("bytes %1").arg(i), values[i]);
    const QStringList strings = {"@Variant(x)", "@@", "line\nbreak\r\n", QStringLiteral(" 前后空格 "), "a,b,c", ""};
    for (int i = 0; i < strings.size(); ++i)
        store->setValue(QStringLiteral("string %1").arg(i), strings[i]);

    Settings again(store.path());
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(again.bytes(QStringLiteral("bytes %1").arg(i)), values[i]) << i;
    for (int i = 0; i < strings.size(); ++i)
        EXPECT_EQ(again.value(QStringLiteral("string %1").arg(i)).toString(), strings[i]) << i;
}

TEST(Settings, TypedValuesPersistNotifyAndFallBackToTheirDefaults)
{
    test::ScopedSettings store;
    Settings &s = *store;
    EXPECT_EQ(s.integer(Keys::VisibleTranslationCount), 10);
    EXPECT_FALSE(s.contains(Keys::VisibleTranslationCount)); // a default is not a stored value

    QStringList notified;
    QObject::connect(&s, &Settings::changed, [&](const QString &key) { notified << key; });
    s.setValue(Keys::VisibleTranslationCount, 37);
    s.setValue(Keys::SubtitleVisible, true);
    EXPECT_EQ(Settings(store.path()).integer(Keys::VisibleTranslationCount), 37);
    EXPECT_TRUE(Settings(store.path()).boolean(Keys::SubtitleVisible));
    s.remove(Keys::VisibleTranslationCount);
    EXPECT_EQ(Settings(store.path()).integer(Keys::VisibleTranslationCount), 10);
    EXPECT_EQ(
        notified, QStringList({Keys::VisibleTranslationCount, Keys::SubtitleVisible, Keys::VisibleTranslationCount}));
}

TEST(Settings, FileIsReadableByItsOwnerOnly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("voxleaf.ini"));
    {
        Settings s(path);
        EXPECT_EQ(fileMode(path), 0600u); // private before anything is written
        s.setValue(Keys::DeepSeekApiKey, QStringLiteral("sk-secret"));
    }

    // A file that was left readable by others is tightened as soon as the
    // store is opened, before any write, and its values stay.
    const auto shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, shared));
    Settings again(path);
    EXPECT_EQ(fileMode(path), 0600u);
    EXPECT_EQ(again.string(Keys::DeepSeekApiKey), "sk-secret");
    // And again on a write, should something have loosened it meanwhile.
    ASSERT_TRUE(QFile::setPermissions(path, shared));
    again.setValue(Keys::CourseSubject, QStringLiteral("线性代数"));
    EXPECT_EQ(fileMode(path), 0600u);
}
