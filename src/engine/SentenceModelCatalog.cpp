#include "SentenceModelCatalog.h"

#include "platform/Settings.h"

#include <QDir>

namespace vox::SentenceModelCatalog {

const std::vector<SentenceModelInfo> &models()
{
    static const std::vector<SentenceModelInfo> list = {
        {QStringLiteral("tiny.en"), QStringLiteral("ggml-tiny.en.bin"), qint64(75) << 20,
         "c78c86eb1a8faa21b369bcd33207cc90d64ae9df"},
        {QStringLiteral("base.en"), QStringLiteral("ggml-base.en.bin"), qint64(142) << 20,
         "137c40403d78fd54d454da0f9bd998f78703390c"},
        {QStringLiteral("base.en-q5_1"), QStringLiteral("ggml-base.en-q5_1.bin"), qint64(57) << 20, {}},
        {QStringLiteral("small.en"), QStringLiteral("ggml-small.en.bin"), qint64(466) << 20,
         "db8a495a91d927739e50b3fc1cc4c6b8f6c2d022"},
    };
    return list;
}

const SentenceModelInfo *find(const QString &id)
{
    for (const auto &m : models())
        if (m.id == id)
            return &m;
    return nullptr;
}

QUrl defaultBaseUrl()
{
    return QUrl(Settings::defaultValue(QLatin1String(Keys::WhisperDownloadUrl)).toString());
}

QUrl fileUrl(const QUrl &base, const SentenceModelInfo &model)
{
    QString s = base.toString();
    while (s.endsWith(QLatin1Char('/')))
        s.chop(1);
    return QUrl(s + QLatin1Char('/') + model.fileName);
}

QString folder(const QString &applicationDataFolder)
{
    return QDir(applicationDataFolder).filePath(QStringLiteral("Voxleaf/Models"));
}

} // namespace vox::SentenceModelCatalog
