#include "audio/file/AudioFileDecoder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libswresample/swresample.h>
}

namespace pf {
namespace {

using Reason = AudioFileError::Reason;

// FFmpeg demuxer names; a demuxer with several names ("mov,mp4,m4a,3gp,3g2,mj2") matches on any.
constexpr const char* kFormatWhitelist = "mov,wav,aiff,caf,flac,mp3";

constexpr std::array kAcceptedCodecs = {
    AV_CODEC_ID_AAC,       AV_CODEC_ID_ALAC,      AV_CODEC_ID_MP3,       AV_CODEC_ID_FLAC,
    AV_CODEC_ID_PCM_U8,    AV_CODEC_ID_PCM_S8,    AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_PCM_S16BE,
    AV_CODEC_ID_PCM_S24LE, AV_CODEC_ID_PCM_S24BE, AV_CODEC_ID_PCM_S32LE, AV_CODEC_ID_PCM_S32BE,
    AV_CODEC_ID_PCM_F32LE, AV_CODEC_ID_PCM_F32BE, AV_CODEC_ID_PCM_F64LE, AV_CODEC_ID_PCM_F64BE,
};

constexpr uint32_t kMaxChannels = 64;
constexpr int64_t kMaxReservedSamples = int64_t{1} << 23;

// Probing scores up to 100. Real audio files score 50 and more; text and noise score a few
// points (the ".m4a" name alone gives the mp4 demuxer 1), which must not make them audio.
constexpr int kMinProbeScore = AVPROBE_SCORE_RETRY;

std::string ffmpegText(int err) {
    std::array<char, AV_ERROR_MAX_STRING_SIZE> buf{};
    av_strerror(err, buf.data(), buf.size());
    return buf.data();
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Length of a URL scheme followed by ':' at the start of `s`, or 0 when `s` starts with none.
size_t schemeLength(std::string_view s) {
    auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (s.empty() || !isAlpha(s[0])) return 0;
    for (size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ':') return i;
        if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return 0;
    }
    return 0;
}

// Turns the argument into a local path, refusing every URL that is not a local "file:" URL.
std::string localPath(const std::string& pathOrURL) {
    const std::string_view s = pathOrURL;
    if (s.find('\0') != std::string_view::npos) {
        throw AudioFileError(Reason::notFound, "The audio file name holds a NUL character.");
    }
    const size_t schemeLen = schemeLength(s);
    if (schemeLen == 0) return pathOrURL;

    std::string scheme(s.substr(0, schemeLen));
    for (char& c : scheme)
        c = static_cast<char>(c | 0x20);
    if (scheme != "file") {
        throw AudioFileError(Reason::notLocal, "The audio file '" + pathOrURL +
                                                   "' cannot be opened: only local files are "
                                                   "read, not '" +
                                                   scheme + ":' addresses.");
    }
    std::string_view rest = s.substr(schemeLen + 1);
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && host != "localhost") {
            throw AudioFileError(Reason::notLocal, "The audio file '" + pathOrURL +
                                                       "' cannot be opened: it is on another "
                                                       "host; only local files are read.");
        }
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    }
    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && hexValue(rest[i + 1]) >= 0 &&
            hexValue(rest[i + 2]) >= 0) {
            path += static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2]));
            i += 2;
        } else {
            path += rest[i];
        }
    }
    if (path.find('\0') != std::string::npos || path.empty()) {
        throw AudioFileError(Reason::notFound,
                             "The audio file '" + pathOrURL + "' does not name a file.");
    }
    return path;
}

// Whether the data chunk of a RIFF/WAVE or CAF file states more bytes than the file holds. FFmpeg
// drops a stated size that runs past the end and reads to the end instead (and a CAF file of
// fixed-size packets declares no duration besides), so a file cut at a packet boundary would
// otherwise pass as shorter audio. An unknown size (0 or 0xFFFFFFFF in WAVE, -1 in CAF) states
// nothing.
bool dataChunkRunsPastTheEnd(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    const auto fileSize = static_cast<uint64_t>(st.st_size);
    char header[12];
    const auto readAt = [&](uint64_t at, size_t bytes) {
        return ::pread(fd, header, bytes, static_cast<off_t>(at)) == static_cast<ssize_t>(bytes);
    };
    // Sizes are little-endian in WAVE, big-endian in CAF.
    const auto number = [](const char* p, int bytes, bool bigEndian) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | static_cast<uint8_t>(p[bigEndian ? i : bytes - 1 - i]);
        return v;
    };
    if (!readAt(0, 12)) return false;
    const bool wave =
        std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "WAVE", 4) == 0;
    const bool caf = std::memcmp(header, "caff", 4) == 0;
    if (!wave && !caf) return false;
    const int sizeBytes = wave ? 4 : 8;
    uint64_t at = wave ? 12 : 8;
    for (int chunk = 0; chunk < 64 && readAt(at, 4 + size_t(sizeBytes)); ++chunk) {
        const uint64_t size = number(header + 4, sizeBytes, caf);
        const bool unknown = wave ? size == 0 || size == 0xFFFFFFFFu : size == ~uint64_t{0};
        if (std::memcmp(header, "data", 4) == 0) {
            return !unknown && (size > fileSize || at + 4 + sizeBytes + size > fileSize);
        }
        if (size > fileSize) return false; // another chunk's damage is for FFmpeg to tell
        at += 4 + sizeBytes + size + (wave ? (size & 1) : 0);
    }
    return false;
}

// FFmpeg's release functions take the address of the pointer they clear.
template <auto release> struct Release {
    template <typename T> void operator()(T* p) const { release(&p); }
};
template <typename T, auto release> using Owned = std::unique_ptr<T, Release<release>>;

// An I/O context over our own descriptor owns its buffer, which FFmpeg may have replaced.
void freeIOContext(AVIOContext** io) {
    if (*io != nullptr) av_freep(&(*io)->buffer);
    avio_context_free(io);
}

constexpr int kIOBufferBytes = 64 * 1024;

// Options for every open FFmpeg makes for this file, nested opens by a demuxer included.
class RestrictedOptions {
public:
    RestrictedOptions() {
        av_dict_set(&dict_, "protocol_whitelist", "file", 0);
        av_dict_set(&dict_, "format_whitelist", kFormatWhitelist, 0);
    }
    ~RestrictedOptions() { av_dict_free(&dict_); }
    RestrictedOptions(const RestrictedOptions&) = delete;
    RestrictedOptions& operator=(const RestrictedOptions&) = delete;

    AVDictionary** get() { return &dict_; }

private:
    AVDictionary* dict_ = nullptr;
};

bool formatAccepted(const AVInputFormat* format) {
    return format != nullptr && av_match_list(format->name, kFormatWhitelist, ',') > 0;
}

bool codecAccepted(AVCodecID id) {
    for (AVCodecID accepted : kAcceptedCodecs) {
        if (accepted == id) return true;
    }
    return false;
}

class Decoder {
public:
    explicit Decoder(std::string path) : path_(std::move(path)), url_("file:" + path_) {}
    ~Decoder() {
        if (fd_ >= 0) ::close(fd_);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    DecodedAudio run() {
        openInput();
        openAudioStream();
        decodeAll();
        return finish();
    }

private:
    [[noreturn]] void fail(Reason reason, const std::string& why) const {
        throw AudioFileError(reason, "The audio file '" + path_ + "' " + why);
    }

    // Opened without blocking (a named pipe put in the file's place would wait for a writer) and
    // checked on the open descriptor. FFmpeg reads this descriptor and never opens the path
    // itself, so what was checked is what is read.
    void openFile() {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
            const int err = errno;
            if (err == ENOENT || err == ENOTDIR) fail(Reason::notFound, "does not exist.");
            // A socket, or a device without its driver.
            if (err == ENXIO) fail(Reason::notRegularFile, "is not a regular file.");
            fail(Reason::unreadable, "cannot be read: " + ffmpegText(AVERROR(err)) + ".");
        }
        if (!S_ISREG(st.st_mode)) {
            fail(Reason::notRegularFile, "is not a regular file.");
        }
        if (static_cast<uint64_t>(st.st_size) > kMaxAudioFileBytes) {
            fail(Reason::tooLong, "is too large to be read: it holds more than 1 GiB.");
        }
    }

    static int readPacket(void* opaque, uint8_t* buffer, int size) {
        const int fd = static_cast<Decoder*>(opaque)->fd_;
        for (;;) {
            const ssize_t n = ::read(fd, buffer, static_cast<size_t>(size));
            if (n > 0) return static_cast<int>(n);
            if (n == 0) return AVERROR_EOF;
            if (errno != EINTR) return AVERROR(errno);
        }
    }

    static int64_t seekTo(void* opaque, int64_t offset, int whence) {
        const int fd = static_cast<Decoder*>(opaque)->fd_;
        if (whence & AVSEEK_SIZE) {
            struct stat st {};
            return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
        }
        const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
        return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
    }

    void openInput() {
        openFile();
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIOBufferBytes));
        AVIOContext* io = buffer == nullptr ? nullptr
                                            : avio_alloc_context(buffer, kIOBufferBytes, 0, this,
                                                                 &readPacket, nullptr, &seekTo);
        if (io == nullptr) {
            av_free(buffer);
            fail(Reason::unreadable, "cannot be read: out of memory.");
        }
        io_.reset(io);

        // Probe first and refuse anything that is not an accepted container before any demuxer
        // parses the file, so the reasons "not audio" and "damaged audio" stay apart.
        const AVInputFormat* format = nullptr;
        const int score = av_probe_input_buffer2(io_.get(), &format, url_.c_str(), nullptr, 0, 0);
        if (score < kMinProbeScore) {
            fail(Reason::unsupportedFormat, "is not in a supported audio format.");
        }
        if (!formatAccepted(format)) {
            fail(Reason::unsupportedFormat,
                 "is not in a supported audio format (it is '" + std::string(format->name) + "').");
        }

        AVFormatContext* ctx = avformat_alloc_context();
        if (ctx == nullptr) fail(Reason::unreadable, "cannot be read: out of memory.");
        ctx->pb = io_.get();
        ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
        // On failure this frees ctx, but not the I/O context it was given.
        const int err = avformat_open_input(&ctx, url_.c_str(), format, RestrictedOptions().get());
        if (err == AVERROR_EOF) fail(Reason::truncated, "is truncated: it ends inside its header.");
        if (err < 0) fail(Reason::damaged, "is damaged or incomplete: " + ffmpegText(err) + ".");
        input_.reset(ctx);
    }

    void openAudioStream() {
        AVFormatContext* ctx = input_.get();
        const int index = av_find_best_stream(ctx, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (index == AVERROR_STREAM_NOT_FOUND) {
            // A header cut short can lose the stream descriptions: that is damage, not a
            // file that never had audio.
            if (ctx->nb_streams == 0) fail(Reason::damaged, "is damaged: it describes no streams.");
            for (unsigned i = 0; i < ctx->nb_streams; ++i) {
                const AVCodecParameters* par = ctx->streams[i]->codecpar;
                if (par->codec_type == AVMEDIA_TYPE_AUDIO || par->codec_id == AV_CODEC_ID_NONE) {
                    fail(Reason::damaged, "is damaged: a stream cannot be read.");
                }
            }
            fail(Reason::noAudioStream, "has no audio stream.");
        }
        if (index < 0) fail(Reason::unsupportedFormat, "holds audio in an unsupported codec.");
        for (unsigned i = 0; i < ctx->nb_streams; ++i) {
            ctx->streams[i]->discard =
                static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        }
        stream_ = ctx->streams[index];
        // FFmpeg clamps a declared rate of +inf or 1e300 to the largest int: refuse it before
        // anything is decoded. A rate not known yet (0) is checked on the first frame.
        if (stream_->codecpar->sample_rate != 0) checkSampleRate(stream_->codecpar->sample_rate);
        reserveDeclaredLength();
        const AVCodecParameters* par = stream_->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (!codecAccepted(par->codec_id) || codec == nullptr) {
            fail(Reason::unsupportedFormat, "holds audio in an unsupported codec ('" +
                                                std::string(avcodec_get_name(par->codec_id)) +
                                                "').");
        }
        AVCodecContext* dec = avcodec_alloc_context3(codec);
        if (dec == nullptr) fail(Reason::unreadable, "cannot be read: out of memory.");
        codec_.reset(dec);
        int err = avcodec_parameters_to_context(dec, par);
        if (err >= 0) {
            dec->pkt_timebase = stream_->time_base;
            dec->thread_count = 1;
            err = avcodec_open2(dec, codec, nullptr);
        }
        if (err < 0) fail(Reason::damaged, "is damaged: " + ffmpegText(err) + ".");
    }

    // Saves regrowing the channels when the container states the length up front. The statement
    // is untrusted, so the reservation stays small (32 MiB); longer audio simply grows.
    void reserveDeclaredLength() {
        const AVCodecParameters* par = stream_->codecpar;
        if (stream_->duration <= 0 || par->sample_rate <= 0) return;
        const int channels = std::max(par->ch_layout.nb_channels, 1);
        const int64_t frames =
            av_rescale_q(stream_->duration, stream_->time_base, AVRational{1, par->sample_rate});
        reserveFrames_ =
            static_cast<size_t>(std::clamp<int64_t>(frames, 0, kMaxReservedSamples / channels));
    }

    void decodeAll() {
        packet_.reset(av_packet_alloc());
        frame_.reset(av_frame_alloc());
        if (!packet_ || !frame_) fail(Reason::unreadable, "cannot be read: out of memory.");
        for (;;) {
            const int err = av_read_frame(input_.get(), packet_.get());
            if (err == AVERROR_EOF) break;
            if (err == AVERROR(EIO))
                fail(Reason::unreadable, "cannot be read: " + ffmpegText(err) + ".");
            if (err < 0) fail(Reason::damaged, "is damaged: " + ffmpegText(err) + ".");
            if (packet_->stream_index == stream_->index) {
                // Demuxers flag a packet cut short by the end of the file as corrupt.
                lastPacketCorrupt_ = (packet_->flags & AV_PKT_FLAG_CORRUPT) != 0;
                if (lastPacketCorrupt_) ++corruptPackets_;
                trackPacketEnd(*packet_);
                const int sent = avcodec_send_packet(codec_.get(), packet_.get());
                av_packet_unref(packet_.get());
                if (sent < 0)
                    fail(Reason::damaged, "holds damaged audio: " + ffmpegText(sent) + ".");
                receiveFrames();
            } else {
                av_packet_unref(packet_.get());
            }
        }
        const int drained = avcodec_send_packet(codec_.get(), nullptr);
        if (drained < 0 && drained != AVERROR_EOF) {
            fail(Reason::damaged, "holds damaged audio: " + ffmpegText(drained) + ".");
        }
        receiveFrames();
        if (lastPacketCorrupt_) fail(Reason::truncated, "is truncated: its audio data ends early.");
        if (corruptPackets_ > 0) fail(Reason::damaged, "holds damaged audio packets.");
    }

    // The end of the presentation as the container states it, in stream time base; used to drop
    // the encoder's padding after the last real frame.
    void trackPacketEnd(const AVPacket& packet) {
        if (packet.pts == AV_NOPTS_VALUE || packet.duration <= 0) return;
        if (packet.flags & AV_PKT_FLAG_DISCARD) return;
        endPts_ = std::max(endPts_, packet.pts + packet.duration);
        hasEndPts_ = true;
    }

    void receiveFrames() {
        for (;;) {
            const int err = avcodec_receive_frame(codec_.get(), frame_.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
            if (err < 0) fail(Reason::damaged, "holds damaged audio: " + ffmpegText(err) + ".");
            append(*frame_);
            av_frame_unref(frame_.get());
        }
    }

    void checkSampleRate(int rate) const {
        if (rate < kMinSampleRate || rate > kMaxSampleRate) {
            fail(Reason::damaged, "declares an unusable sample rate (read as " +
                                      std::to_string(rate) + " Hz); only rates from " +
                                      std::to_string(kMinSampleRate) + " to " +
                                      std::to_string(kMaxSampleRate) + " Hz are read.");
        }
    }

    void append(const AVFrame& frame) {
        const auto channels = static_cast<uint32_t>(frame.ch_layout.nb_channels);
        if (channels == 0 || channels > kMaxChannels) {
            fail(Reason::damaged, "holds audio in an invalid format.");
        }
        checkSampleRate(frame.sample_rate);
        if (out_.channels == 0) {
            out_.sampleRate = frame.sample_rate;
            out_.channels = channels;
            out_.samples.resize(channels);
            for (auto& channel : out_.samples)
                channel.reserve(reserveFrames_);
            startPts_ = frame.pts;
        } else if (out_.sampleRate != frame.sample_rate || out_.channels != channels) {
            fail(Reason::damaged, "changes its sample rate or channel count mid-stream.");
        }
        const auto frames = static_cast<uint64_t>(frame.nb_samples);
        if ((out_.frameLength() + frames) * channels > kMaxDecodedSamples) {
            fail(Reason::tooLong, "is too long to be decoded at once.");
        }
        if (frames == 0) return;

        const size_t start = out_.samples[0].size();
        for (auto& channel : out_.samples)
            channel.resize(start + frames);
        if (frame.format == AV_SAMPLE_FMT_FLTP) {
            for (uint32_t c = 0; c < channels; ++c) {
                const auto* src = reinterpret_cast<const float*>(frame.extended_data[c]);
                std::copy(src, src + frames,
                          out_.samples[c].begin() + static_cast<ptrdiff_t>(start));
            }
            return;
        }
        convert(frame, start);
    }

    // Any other sample format goes through libswresample, at the same rate and layout.
    void convert(const AVFrame& frame, size_t start) {
        if (!resampler_ || resamplerFormat_ != frame.format) {
            // FFmpeg 5.1 takes the layouts by non-const pointer but only reads them.
            auto* layout = const_cast<AVChannelLayout*>(&frame.ch_layout);
            SwrContext* swr = nullptr;
            int err = swr_alloc_set_opts2(&swr, layout, AV_SAMPLE_FMT_FLTP, frame.sample_rate,
                                          layout, static_cast<AVSampleFormat>(frame.format),
                                          frame.sample_rate, 0, nullptr);
            if (err >= 0) err = swr_init(swr);
            resampler_.reset(swr);
            if (err < 0) fail(Reason::damaged, "holds audio in an unconvertible format.");
            resamplerFormat_ = frame.format;
        }
        std::vector<uint8_t*> dst(out_.channels);
        for (uint32_t c = 0; c < out_.channels; ++c) {
            dst[c] = reinterpret_cast<uint8_t*>(out_.samples[c].data() + start);
        }
        const int got =
            swr_convert(resampler_.get(), dst.data(), frame.nb_samples,
                        const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
        if (got != frame.nb_samples)
            fail(Reason::damaged, "holds audio that could not be converted.");
    }

    DecodedAudio finish() {
        if (out_.frameLength() == 0) fail(Reason::damaged, "holds no decodable audio.");
        trimPadding();
        checkComplete();
        return std::move(out_);
    }

    // Codecs decode whole codec frames; the last one is padded past the real end. The packets'
    // presentation end says where the real audio stops.
    void trimPadding() {
        if (!hasEndPts_ || startPts_ == AV_NOPTS_VALUE) return;
        const int64_t endFrame = av_rescale_q(endPts_ - startPts_, stream_->time_base,
                                              AVRational{1, static_cast<int>(out_.sampleRate)});
        if (endFrame > 0 && static_cast<uint64_t>(endFrame) < out_.frameLength()) {
            for (auto& channel : out_.samples)
                channel.resize(static_cast<size_t>(endFrame));
        }
    }

    // A container that declares more audio than the file holds was cut short.
    void checkComplete() const {
        if (dataChunkRunsPastTheEnd(fd_)) {
            fail(Reason::truncated, "is truncated: its data chunk ends early.");
        }
        if (stream_->duration == AV_NOPTS_VALUE || stream_->duration <= 0) return;
        const int64_t declared = av_rescale_q(stream_->duration, stream_->time_base,
                                              AVRational{1, static_cast<int>(out_.sampleRate)});
        const int64_t frameSize = codec_->frame_size > 0 ? codec_->frame_size : 1024;
        if (static_cast<int64_t>(out_.frameLength()) + 2 * frameSize < declared) {
            fail(Reason::truncated, "is truncated: it holds " + std::to_string(out_.frameLength()) +
                                        " of " + std::to_string(declared) + " frames.");
        }
    }

    std::string path_;
    std::string url_;
    int fd_ = -1;
    Owned<AVIOContext, freeIOContext> io_; // outlives input_ (declared first)
    Owned<AVFormatContext, avformat_close_input> input_;
    Owned<AVCodecContext, avcodec_free_context> codec_;
    Owned<AVPacket, av_packet_free> packet_;
    Owned<AVFrame, av_frame_free> frame_;
    Owned<SwrContext, swr_free> resampler_;
    int resamplerFormat_ = -1;
    AVStream* stream_ = nullptr;
    int64_t startPts_ = AV_NOPTS_VALUE;
    int64_t endPts_ = 0;
    bool hasEndPts_ = false;
    bool lastPacketCorrupt_ = false;
    int corruptPackets_ = 0;
    size_t reserveFrames_ = 0;
    DecodedAudio out_;
};

} // namespace

DecodedAudio decodeAudioFile(const std::string& pathOrFileURL) {
    return Decoder(localPath(pathOrFileURL)).run();
}

} // namespace pf
