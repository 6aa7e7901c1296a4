#pragma once
// Audio files: recording (CAF, 32-bit float) and reading any format the
// platform decodes.
#include "AudioTypes.h"
#include "Error.h"

#include <QString>
#include <memory>

namespace vox {

class AudioFileWriter {
public:
    virtual ~AudioFileWriter() = default;
    virtual bool write(const PcmBuffer &buffer) = 0;
    // Frames written so far.
    virtual qint64 length() const = 0;
    virtual void close() = 0;
};

class AudioFileReader {
public:
    virtual ~AudioFileReader() = default;
    virtual PcmFormat format() const = 0;
    virtual qint64 length() const = 0; // frames
    // Reads up to `frames` frames; an empty buffer at the end.
    virtual PcmBuffer read(quint32 frames) = 0;
    virtual bool seek(qint64 frame) = 0;
};

class AudioFiles {
public:
    virtual ~AudioFiles() = default;
    virtual Result<std::unique_ptr<AudioFileWriter>> createForWriting(const QString &path, const PcmFormat &format) = 0;
    virtual Result<std::unique_ptr<AudioFileReader>> openForReading(const QString &path) = 0;
};

} // namespace vox
