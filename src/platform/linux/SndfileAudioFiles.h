#pragma once
// Audio files through libsndfile. Recordings are written as CAF, 32-bit
// float, with the header brought up to date after every write: a recording
// whose writer dies without closing the file still reads back every frame
// written before. Reading accepts anything libsndfile decodes (WAV, FLAC,
// Ogg, CAF, ...).
#include "platform/AudioFile.h"

namespace vox {

class SndfileAudioFiles final : public AudioFiles {
public:
    Result<std::unique_ptr<AudioFileWriter>> createForWriting(const QString &path, const PcmFormat &format) override;
    Result<std::unique_ptr<AudioFileReader>> openForReading(const QString &path) override;
};

} // namespace vox
