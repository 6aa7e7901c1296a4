#pragma once
// The Whisper models the settings window offers to download: the standard
// English ones, as whisper.cpp's authors publish them, with the SHA-1 they
// publish where there is one. Files go to the application data folder.
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <vector>

namespace vox {

struct SentenceModelInfo {
    QString id;          // "base.en-q5_1"
    QString fileName;    // "ggml-base.en-q5_1.bin"
    qint64 approxBytes = 0; // what the publisher states, for display
    QByteArray sha1Hex;  // empty when not published
};

namespace SentenceModelCatalog {

const std::vector<SentenceModelInfo> &models();
const SentenceModelInfo *find(const QString &id);
// Where the files are published; a mirror may be set instead (the setting
// "whisper_download_url").
QUrl defaultBaseUrl();
QUrl fileUrl(const QUrl &base, const SentenceModelInfo &model);
// <application data>/Voxleaf/Models
QString folder(const QString &applicationDataFolder);

} // namespace SentenceModelCatalog
} // namespace vox
