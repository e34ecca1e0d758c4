// AVAudioFile: an audio file opened for reading. The whole file is decoded when it is opened
// (FFmpeg, local files and known audio formats only; see file/AudioFileDecoder.h), so its
// processing format is exact, a damaged file fails at once, and nothing is decoded later.
//
// Ownership: the decoded samples are shared, immutable, with every player that schedules the file
// (`samples()`), so a player keeps playing a file its opener has dropped.
//
// Threads: opening blocks: [any-thread, not render]. The accessors are [any-thread]; `read` and
// `framePosition` belong to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/AVAudioFormat.h"
#include "audio/AVAudioPCMBuffer.h"
#include "audio/file/AudioFileDecoder.h"
#include "core/URL.h"

namespace pf {

using AVAudioFramePosition = std::int64_t;

class AVAudioFile {
public:
    // Opens and decodes the file at `url` (a file URL). Throws NSErrorException whose
    // description names the file and the cause: missing, not a regular file, unreadable, not a
    // known audio format, no audio stream, damaged, truncated, too long, or more channels than a
    // format may have.
    static std::shared_ptr<AVAudioFile> forReading(const URL& url);

    const URL& url() const noexcept { return url_; }
    // Non-interleaved 32-bit float at the file's own rate and channel count.
    const std::shared_ptr<const AVAudioFormat>& processingFormat() const noexcept {
        return format_;
    }
    // The decoded file's format: the same as the processing format here.
    const std::shared_ptr<const AVAudioFormat>& fileFormat() const noexcept { return format_; }
    // Frames in the file.
    AVAudioFramePosition length() const noexcept {
        return static_cast<AVAudioFramePosition>(samples_->frameLength());
    }
    // The next frame `read` delivers; settable within [0, length].
    AVAudioFramePosition framePosition() const noexcept { return position_; }
    void setFramePosition(AVAudioFramePosition position) noexcept;

    // Reads up to `frames` frames (at most the buffer's capacity) from the frame position into
    // `buffer`, whose format must equal the processing format; sets its frame length and moves
    // the position. Throws NSErrorException for a buffer of another format and when no frame is
    // left to read.
    void read(AVAudioPCMBuffer& buffer, AVAudioFrameCount frames);
    void read(AVAudioPCMBuffer& buffer) { read(buffer, buffer.frameCapacity()); }

    // The decoded samples, shared.
    const std::shared_ptr<const DecodedAudio>& samples() const noexcept { return samples_; }

    AVAudioFile(URL url, std::shared_ptr<const DecodedAudio> samples,
                std::shared_ptr<const AVAudioFormat> format);

private:
    URL url_;
    std::shared_ptr<const DecodedAudio> samples_;
    std::shared_ptr<const AVAudioFormat> format_;
    AVAudioFramePosition position_ = 0;
};

} // namespace pf
