// voxleaf-cli: the speech engine without a window.
#include "CliSupport.h"
#include "Commands.h"

#include "platform/Diag.h"

#include <QCommandLineParser>
#include <QCoreApplication>

using namespace vox::cli;

namespace {

const char *kUsage =
    "用法: voxleaf-cli <命令> [选项]\n"
    "\n"
    "命令:\n"
    "  transcribe FILE [--engine system|deepseek] [--no-translate] [--course]\n"
    "                  [--srt PATH] [--vtt PATH] [--json] [--realtime] [--model PATH]\n"
    "                      转写并翻译一个音频文件（WAV、FLAC、Ogg、CAF…）\n"
    "  listen [--device ID] [--engine system|deepseek] [--no-translate] [--course] [--json]\n"
    "         [--model PATH]\n"
    "                      从麦克风实时识别与翻译，按 Ctrl+C 结束\n"
    "  devices             列出输入设备（* 为默认设备）\n"
    "  history [--search WORD]\n"
    "                      列出桌面“课程记录/记录”中的课程\n"
    "  export ARCHIVE.json --srt|--vtt [PATH]\n"
    "                      把课程记录导出为字幕（无 PATH 时写到标准输出）\n"
    "  review ARCHIVE.json 请 DeepSeek 生成课堂记录文档（HTML）\n"
    "\n"
    "  --version, --help\n"
    "\n"
    "DeepSeek API Key 取自已保存的设置或环境变量 DEEPSEEK_API_KEY。\n"
    "--model 指定 Whisper 模型（ggml 文件，缺省取环境变量 VOXLEAF_WHISPER_MODEL）：\n"
    "每句话由 PocketSphinx 断句后再由 Whisper 重新识别。\n";

int usage(int code)
{
    err(QString::fromUtf8(kUsage).trimmed());
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Voxleaf"));
    QCoreApplication::setApplicationName(QStringLiteral("Voxleaf"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VOX_VERSION));

    QStringList args = app.arguments();
    if (args.size() < 2)
        return usage(ExitUsage);
    const QString command = args.at(1);
    if (command == QLatin1String("--version") || command == QLatin1String("-v")) {
        out(QStringLiteral("voxleaf-cli %1").arg(QStringLiteral(VOX_VERSION)));
        return ExitOk;
    }
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        out(QString::fromUtf8(kUsage).trimmed());
        return ExitOk;
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption engineOpt(QStringLiteral("engine"), QString(), QStringLiteral("engine"), QStringLiteral("system"));
    const QCommandLineOption noTranslate(QStringLiteral("no-translate"));
    const QCommandLineOption course(QStringLiteral("course"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption realtime(QStringLiteral("realtime"));
    const QCommandLineOption device(QStringLiteral("device"), QString(), QStringLiteral("id"));
    const QCommandLineOption model(QStringLiteral("model"), QString(), QStringLiteral("path"));
    const QCommandLineOption search(QStringLiteral("search"), QString(), QStringLiteral("word"));
    const QCommandLineOption srtOpt(QStringLiteral("srt"), QString(), QStringLiteral("path"));
    const QCommandLineOption vttOpt(QStringLiteral("vtt"), QString(), QStringLiteral("path"));
    const QCommandLineOption srtFlag(QStringLiteral("srt"));
    const QCommandLineOption vttFlag(QStringLiteral("vtt"));

    args.removeAt(1);
    if (command == QLatin1String("transcribe") || command == QLatin1String("listen")) {
        parser.addOptions({engineOpt, noTranslate, course, json, realtime, device, srtOpt, vttOpt, model});
        if (!parser.parse(args)) {
            err(parser.errorText());
            return usage(ExitUsage);
        }
        RunOptions o;
        o.live = command == QLatin1String("listen");
        const QStringList pos = parser.positionalArguments();
        if (!o.live) {
            if (pos.size() != 1)
                return usage(ExitUsage);
            o.file = pos.first();
        } else if (!pos.isEmpty()) {
            return usage(ExitUsage);
        }
        o.engine = parser.value(engineOpt);
        o.translate = !parser.isSet(noTranslate);
        o.course = parser.isSet(course);
        o.json = parser.isSet(json);
        o.realtime = parser.isSet(realtime);
        o.deviceID = parser.value(device);
        o.srtPath = parser.value(srtOpt);
        o.vttPath = parser.value(vttOpt);
        o.model = parser.isSet(model) ? parser.value(model) : qEnvironmentVariable("VOXLEAF_WHISPER_MODEL");
        if (o.live && (!o.srtPath.isEmpty() || !o.vttPath.isEmpty() || o.realtime))
            return usage(ExitUsage);
        return runTranscription(o);
    }
    if (command == QLatin1String("devices"))
        return listDevices();
    if (command == QLatin1String("history")) {
        parser.addOption(search);
        if (!parser.parse(args) || !parser.positionalArguments().isEmpty())
            return usage(ExitUsage);
        return showHistory(parser.value(search));
    }
    if (command == QLatin1String("export")) {
        parser.addOptions({srtFlag, vttFlag});
        if (!parser.parse(args))
            return usage(ExitUsage);
        const QStringList pos = parser.positionalArguments();
        if (pos.isEmpty() || pos.size() > 2 || parser.isSet(srtFlag) == parser.isSet(vttFlag))
            return usage(ExitUsage);
        return exportSubtitles(pos.at(0), parser.isSet(vttFlag) ? QStringLiteral("vtt") : QStringLiteral("srt"),
                               pos.size() > 1 ? pos.at(1) : QString());
    }
    if (command == QLatin1String("review")) {
        if (!parser.parse(args) || parser.positionalArguments().size() != 1)
            return usage(ExitUsage);
        return reviewCourse(parser.positionalArguments().first());
    }
    err(QStringLiteral("未知命令: %1").arg(command));
    return usage(ExitUsage);
}
