// Model downloads from a local server: progress, a connection dropped half
// way and resumed by Range, cancelling, and a file refused by its checksum.
#include "engine/ModelDownload.h"
#include "support/HttpTestServer.h"
#include "support/TestEnv.h"
#include "support/WhisperModelWriter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

class ModelDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString source = dir.filePath(QStringLiteral("source.bin"));
        ASSERT_GT(writeWhisperModel(source, tinyTestGeometry(9)), 0);
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
        model = SentenceModelInfo{QStringLiteral("test.en"), QStringLiteral("ggml-test.en.bin"), bytes.size(),
                                  QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex()};
        // The file, whole or from the requested offset on.
        server.route("GET", QStringLiteral("/models/ggml-test.en.bin"), [this](const HttpTestRequest &r) {
            HttpTestReply reply = HttpTestReply::text(200, bytes);
            reply.contentType = "application/octet-stream";
            const QByteArray range = r.header("Range");
            if (range.startsWith("bytes=")) {
                const qint64 from = range.mid(6, range.indexOf('-') - 6).toLongLong();
                reply.status = 206;
                reply.body = bytes.mid(from);
                reply.headers.append({"Content-Range", "bytes " + QByteArray::number(from) + '-'
                                                           + QByteArray::number(bytes.size() - 1) + '/'
                                                           + QByteArray::number(bytes.size())});
            }
            reply.dropAfter = std::exchange(dropAfter, -1);
            return reply;
        });
    }

    // Runs one attempt to its end; returns (ok, text).
    std::pair<bool, QString> run(ModelDownload &d)
    {
        std::optional<std::pair<bool, QString>> result;
        QObject::connect(&d, &ModelDownload::finished, &d,
                         [&](bool ok, const QString &text) { result.emplace(ok, text); });
        d.start();
        EXPECT_TRUE(waitFor([&] { return result.has_value(); }, 20000));
        QObject::disconnect(&d, &ModelDownload::finished, nullptr, nullptr);
        return result.value_or(std::pair<bool, QString>{false, QStringLiteral("timeout")});
    }
    QUrl base() const { return QUrl(server.url().toString() + QStringLiteral("/models")); }

    QTemporaryDir dir;
    HttpTestServer server;
    QByteArray bytes;
    int dropAfter = -1;
    SentenceModelInfo model;
};

TEST_F(ModelDownloadTest, ADroppedConnectionResumesWhereItStoppedAndTheWholeFileIsChecked)
{
    ModelDownload d(model, base(), dir.filePath(QStringLiteral("Models")));
    qint64 lastReceived = 0, lastTotal = 0;
    QObject::connect(&d, &ModelDownload::progress, [&](qint64 r, qint64 t) {
        lastReceived = r;
        lastTotal = t;
    });
    dropAfter = int(bytes.size() / 2);
    auto [ok, text] = run(d);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(text.contains(QStringLiteral("中断"))) << text.toStdString();
    EXPECT_EQ(QFileInfo(d.partPath()).size(), bytes.size() / 2);
    EXPECT_EQ(lastTotal, bytes.size());

    std::tie(ok, text) = run(d);
    ASSERT_TRUE(ok) << text.toStdString();
    EXPECT_EQ(server.requests().back().header("Range"), "bytes=" + QByteArray::number(bytes.size() / 2) + '-');
    EXPECT_EQ(lastReceived, bytes.size());
    QFile done(text);
    ASSERT_TRUE(done.open(QIODevice::ReadOnly));
    EXPECT_EQ(done.readAll(), bytes);
    EXPECT_FALSE(QFile::exists(d.partPath()));
}

TEST_F(ModelDownloadTest, AFileWithTheWrongChecksumIsDeleted)
{
    model.sha1Hex = QByteArray(40, '0');
    ModelDownload wrongSum(model, base(), dir.filePath(QStringLiteral("Models")));
    auto [ok, text] = run(wrongSum);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(text.contains(QStringLiteral("校验和"))) << text.toStdString();
    EXPECT_FALSE(QFile::exists(wrongSum.partPath()));
    EXPECT_FALSE(QFile::exists(wrongSum.targetPath()));
}

TEST_F(ModelDownloadTest, CancellingKeepsThePartAndAServerErrorIsSaid)
{
    ModelDownload d(model, base(), dir.filePath(QStringLiteral("Models")));
    server.enqueue("GET", QStringLiteral("/models/ggml-test.en.bin"), HttpTestReply::hold());
    std::optional<QString> text;
    QObject::connect(&d, &ModelDownload::finished, [&](bool, const QString &t) { text = t; });
    d.start();
    ASSERT_TRUE(server.waitForRequests(1));
    d.cancel();
    ASSERT_TRUE(waitFor([&] { return text.has_value(); }));
    EXPECT_TRUE(text->contains(QStringLiteral("取消")));
    EXPECT_FALSE(d.isRunning());

    text.reset();
    server.enqueue("GET", QStringLiteral("/models/ggml-test.en.bin"), HttpTestReply::text(404, "not here"));
    d.start();
    ASSERT_TRUE(waitFor([&] { return text.has_value(); }));
    EXPECT_TRUE(text->contains(QStringLiteral("HTTP 404"))) << text->toStdString();
}

} // namespace
