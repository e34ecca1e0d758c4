#pragma once
// Whole-file audio decoding for the audio layer's AVAudioFile.
//
// A file is decoded completely when it is opened: files in this system are seconds long, so the
// processing format is exact from the start, a damaged file fails at open instead of during
// playback, and nothing is ever decoded on the render thread.
//
// Only local files in a short list of audio containers and codecs are read. Media is untrusted
// input: FFmpeg is confined to its "file" protocol (no network, no playlists, no nested URLs)
// and to the containers below, and the stream's codec must be an audio codec on the list.
//   containers: mov/mp4/m4a, wav, aiff, caf, flac, mp3
//   codecs:     AAC, ALAC, MP3, FLAC, linear PCM (8 to 32-bit integer, 32/64-bit float)

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace pf {

/// Decoded audio: non-interleaved 32-bit float at the file's own sample rate and channel count.
/// `samples[c][i]` is frame i of channel c; every channel holds the same number of frames.
struct DecodedAudio {
    double sampleRate = 0;
    uint32_t channels = 0;
    std::vector<std::vector<float>> samples;

    /// Number of frames (samples per channel).
    uint64_t frameLength() const noexcept {
        return samples.empty() ? 0 : static_cast<uint64_t>(samples.front().size());
    }
};

/// The one error `decodeAudioFile` throws. `what()` is a complete sentence naming the file and
/// the cause, fit to be shown to a user or put into an error description.
class AudioFileError : public std::runtime_error {
public:
    enum class Reason {
        notLocal,          ///< a URL whose scheme is not "file"
        notFound,          ///< nothing at that path
        notRegularFile,    ///< a directory, device, named pipe or other non-file
        unreadable,        ///< exists but cannot be read (permissions, I/O error)
        unsupportedFormat, ///< not one of the accepted containers or codecs (a text file, a
                           ///< playlist)
        noAudioStream,     ///< a media file without any audio stream
        damaged,           ///< the container or the coded audio is corrupt, or it declares a
                           ///< sample rate outside `kMinSampleRate`…`kMaxSampleRate`
        truncated,         ///< fewer frames than the container declares
        tooLong,           ///< longer than `kMaxDecodedSamples` allows, or a file larger
                           ///< than `kMaxAudioFileBytes`
    };

    AudioFileError(Reason reason, const std::string& message)
        : std::runtime_error(message), reason_(reason) {}

    Reason reason() const noexcept { return reason_; }

private:
    Reason reason_;
};

/// Upper bound on decoded samples over all channels (20 minutes of 48 kHz stereo, about 440 MiB).
inline constexpr uint64_t kMaxDecodedSamples = 20ull * 60 * 48000 * 2;

/// Upper bound on the size of a file read (1 GiB): no file within `kMaxDecodedSamples` is larger
/// (20 minutes of 48 kHz stereo as 64-bit PCM is 0.9 GiB); a larger one is refused unread.
inline constexpr uint64_t kMaxAudioFileBytes = uint64_t{1} << 30;

/// The sample rates a file may declare; a rate outside (FFmpeg turns a declared +inf or 1e300
/// into 2,147,483,647 Hz) is damage.
inline constexpr int kMinSampleRate = 1000;
inline constexpr int kMaxSampleRate = 768000;

/// [any-thread, blocking] Decodes a whole audio file: a regular file only (a named pipe, a device
/// or a directory is refused without blocking), opened once and read through that descriptor.
/// `pathOrFileURL` is a filesystem path or a "file:" URL ("file:///a/b.m4a", "file://localhost/…",
/// percent-encoded). Any other "scheme:" prefix is refused as not local, so a relative path whose
/// first component holds a ':' must be written "./a:b.m4a".
/// Encoder priming and padding (the container's edit list and gapless data) are removed, so a
/// file made from N frames decodes to N frames.
/// Throws `AudioFileError`; never returns empty audio (a file with no decodable frame is an error).
DecodedAudio decodeAudioFile(const std::string& pathOrFileURL);

} // namespace pf
