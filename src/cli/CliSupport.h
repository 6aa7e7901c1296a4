#pragma once
// Shared pieces of the headless tool: output, the API key, time formats and
// the stand-in input device that a file is played through.
#include "platform/AudioInput.h"
#include "platform/DesktopServices.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace vox::cli {

// Exit codes.
enum Exit {
    ExitOk = 0,
    ExitUsage = 64,          // bad arguments
    ExitInput = 65,          // unreadable or non-audio file, unreadable archive
    ExitUnavailable = 69,    // recognizer model missing, no device, start failed
    ExitCantWrite = 73,      // the archive or a subtitle file could not be written
    ExitTranslation = 75,    // some sentences kept their placeholder translation
    ExitInterrupted = 130,
};

void out(const QString &line);  // standard output, one line, flushed
void err(const QString &line);  // standard error, one line
bool stderrIsTerminal();

// "[HH:MM:SS.mmm]" of an offset in seconds (hours may exceed two digits).
QString bracketTime(double seconds);

// The DeepSeek key: the stored setting, else $DEEPSEEK_API_KEY (which then
// reads as stored for this process only).
QString resolveApiKey();

// One capture device standing for an audio file: it is the default input and
// switching to it always works. The engine resolves and switches devices the
// same way as with a microphone.
class FileInputDevice final : public CaptureDevices, public HardwareAudio {
public:
    static constexpr auto kDeviceID = "voxleaf-file-input";
    static constexpr AudioObjectID kObjectID = 1;

    explicit FileInputDevice(QString name) : m_name(std::move(name)) {}

    std::vector<CaptureDevice> discover() override { return {device()}; }
    std::optional<CaptureDevice> defaultDevice() override { return device(); }
    std::optional<CaptureDevice> device(const QString &uniqueID) override
    {
        if (uniqueID == QLatin1String(kDeviceID))
            return device();
        return std::nullopt;
    }

    Result<std::vector<AudioObjectID>> deviceIDs() override { return std::vector<AudioObjectID>{kObjectID}; }
    Result<quint32> inputStreamCount(AudioObjectID) override { return quint32(1); }
    Result<QString> deviceUID(AudioObjectID) override { return QString::fromLatin1(kDeviceID); }
    Result<QString> deviceName(AudioObjectID) override { return m_name; }
    Result<AudioObjectID> defaultInputDevice() override { return kObjectID; }
    Result<bool> setDefaultInputDevice(AudioObjectID id) override
    {
        if (id != kObjectID)
            return Error{QStringLiteral("FileInputDevice"), 1, QStringLiteral("只有一个输入设备")};
        return true;
    }

private:
    CaptureDevice device() const { return CaptureDevice{QLatin1String(kDeviceID), m_name, true, false}; }
    QString m_name;
};

// Desktop services whose Desktop is a private temporary folder: a plain
// transcription writes its working recording there and leaves nothing behind.
class ScratchDesktop final : public DesktopServices {
public:
    explicit ScratchDesktop(std::shared_ptr<DesktopServices> real) : m_real(std::move(real)) {}
    std::optional<QString> desktopFolder() override
    {
        if (!m_dir.isValid())
            return std::nullopt;
        return m_dir.path();
    }
    QString applicationDataFolder() override { return m_real->applicationDataFolder(); }
    QString picturesFolder() override { return m_real->picturesFolder(); }
    bool revealInFileBrowser(const QString &) override { return false; }
    bool openWithDefaultApplication(const QString &) override { return false; }

private:
    std::shared_ptr<DesktopServices> m_real;
    QTemporaryDir m_dir;
};

} // namespace vox::cli
