#include "audio/AVAudioFile.h"

#include <algorithm>
#include <cstring>

#include "core/NSError.h"

namespace pf {

namespace {

// Codes of the platform's audio-file errors, so a caller can tell the causes apart.
constexpr std::int64_t kAudioFileUnsupportedFileTypeError = 0x7479703f; // 'typ?'
constexpr std::int64_t kAudioFileInvalidFileError = 0x6474613f;         // 'dta?'
constexpr std::int64_t kAudioFileEndOfFileError = -39;

NSError fileError(std::int64_t code, std::string domain, const std::string& description) {
    return NSError(std::move(domain), code, {{NSLocalizedDescriptionKey, description}});
}

NSError errorFor(const AudioFileError& e) {
    using Reason = AudioFileError::Reason;
    switch (e.reason()) {
    case Reason::notFound:
        return fileError(NSFileNoSuchFileError, NSCocoaErrorDomain, e.what());
    case Reason::unreadable:
        return fileError(NSFileReadNoPermissionError, NSCocoaErrorDomain, e.what());
    case Reason::notLocal:
    case Reason::notRegularFile:
    case Reason::unsupportedFormat:
    case Reason::noAudioStream:
        return fileError(kAudioFileUnsupportedFileTypeError, NSOSStatusErrorDomain, e.what());
    case Reason::damaged:
    case Reason::truncated:
    case Reason::tooLong:
        break;
    }
    return fileError(kAudioFileInvalidFileError, NSOSStatusErrorDomain, e.what());
}

} // namespace

AVAudioFile::AVAudioFile(URL url, std::shared_ptr<const DecodedAudio> samples,
                         std::shared_ptr<const AVAudioFormat> format)
    : url_(std::move(url)), samples_(std::move(samples)), format_(std::move(format)) {}

std::shared_ptr<AVAudioFile> AVAudioFile::forReading(const URL& url) {
    DecodedAudio decoded;
    try {
        decoded = decodeAudioFile(url.absoluteString());
    } catch (const AudioFileError& e) {
        throw NSErrorException(errorFor(e));
    }
    auto format = AVAudioFormat::standardFormatWithSampleRate(decoded.sampleRate, decoded.channels);
    if (!format) {
        throw NSErrorException(fileError(kAudioFileUnsupportedFileTypeError, NSOSStatusErrorDomain,
                                         "The audio file '" + url.path() + "' has " +
                                             std::to_string(decoded.channels) + " channels at " +
                                             std::to_string(decoded.sampleRate) +
                                             " Hz, which no audio format here can carry."));
    }
    return std::make_shared<AVAudioFile>(
        url, std::make_shared<const DecodedAudio>(std::move(decoded)), std::move(format));
}

void AVAudioFile::setFramePosition(AVAudioFramePosition position) noexcept {
    position_ = std::clamp<AVAudioFramePosition>(position, 0, length());
}

void AVAudioFile::read(AVAudioPCMBuffer& buffer, AVAudioFrameCount frames) {
    if (!buffer.format() || !buffer.format()->isEqual(*format_)) {
        throw NSErrorException(NSError(NSOSStatusErrorDomain, kAudio_ParamError));
    }
    const auto left = length() - position_;
    if (left <= 0) {
        throw NSErrorException(fileError(kAudioFileEndOfFileError, NSOSStatusErrorDomain,
                                         "The end of the audio file has been reached."));
    }
    const auto count = static_cast<AVAudioFrameCount>(
        std::min<AVAudioFramePosition>({left, frames, buffer.frameCapacity()}));
    for (std::uint32_t c = 0; c < samples_->channels; ++c) {
        std::memcpy(buffer.floatChannelData()[c], samples_->samples[c].data() + position_,
                    std::size_t{count} * sizeof(float));
    }
    buffer.setFrameLength(count);
    position_ += count;
}

} // namespace pf
