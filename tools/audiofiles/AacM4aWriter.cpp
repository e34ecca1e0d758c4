#include "AacM4aWriter.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

namespace audiofiles {
namespace {

// FFmpeg's release functions take the address of the pointer they clear.
template <auto release> struct Release {
    template <typename T> void operator()(T* p) const { release(&p); }
};
template <typename T, auto release> using Owned = std::unique_ptr<T, Release<release>>;

void closeOutput(AVFormatContext** ctx) {
    if ((*ctx)->pb != nullptr) avio_closep(&(*ctx)->pb);
    avformat_free_context(*ctx);
    *ctx = nullptr;
}

class Encoder {
public:
    Encoder(std::string path, const PlanarAudio& audio) : path_(std::move(path)), audio_(audio) {}

    void run() {
        if (audio_.frames() == 0 || audio_.channels.empty() || audio_.sampleRate <= 0) {
            throw std::runtime_error("nothing to encode for " + path_);
        }
        open();
        const int frameSize = codec_->frame_size;
        for (size_t at = 0; at < audio_.frames(); at += static_cast<size_t>(frameSize)) {
            encodeFrame(at, std::min(static_cast<size_t>(frameSize), audio_.frames() - at));
        }
        check(avcodec_send_frame(codec_.get(), nullptr), "flush the encoder");
        writePackets();
        check(av_write_trailer(output_.get()), "finish the file");
    }

    void commit() {
        AVFormatContext* ctx = output_.get();
        check(avio_closep(&ctx->pb), "close the file");
        if (std::rename(partPath_.c_str(), path_.c_str()) != 0) {
            throw std::runtime_error("cannot rename " + partPath_ + " to " + path_);
        }
    }

    void discard() {
        output_.reset();
        if (!partPath_.empty()) std::remove(partPath_.c_str());
    }

private:
    static void checked(int err, const std::string& what, const std::string& path) {
        if (err >= 0) return;
        std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
        av_strerror(err, text.data(), text.size());
        throw std::runtime_error("cannot " + what + " for " + path + ": " + text.data());
    }
    void check(int err, const std::string& what) const { checked(err, what, path_); }

    void open() {
        AVFormatContext* ctx = nullptr;
        check(avformat_alloc_output_context2(&ctx, nullptr, "ipod", path_.c_str()),
              "create the m4a muxer");
        output_.reset(ctx);
        ctx->flags |= AVFMT_FLAG_BITEXACT;

        const AVCodec* codec = avcodec_find_encoder_by_name("aac");
        if (codec == nullptr) throw std::runtime_error("FFmpeg has no aac encoder");
        codec_.reset(avcodec_alloc_context3(codec));
        if (!codec_) throw std::runtime_error("out of memory");
        AVCodecContext* enc = codec_.get();
        const int channels = static_cast<int>(audio_.channels.size());
        enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
        enc->sample_rate = audio_.sampleRate;
        av_channel_layout_default(&enc->ch_layout, channels);
        enc->bit_rate = kBitRatePerChannel * channels;
        enc->time_base = AVRational{1, audio_.sampleRate};
        enc->thread_count = 1;
        enc->flags |= AV_CODEC_FLAG_BITEXACT;
        if (ctx->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        check(avcodec_open2(enc, codec, nullptr), "open the aac encoder");

        stream_ = avformat_new_stream(ctx, nullptr);
        if (stream_ == nullptr) throw std::runtime_error("out of memory");
        check(avcodec_parameters_from_context(stream_->codecpar, enc), "describe the stream");
        stream_->time_base = enc->time_base;

        partPath_ = path_ + ".part";
        check(avio_open(&ctx->pb, ("file:" + partPath_).c_str(), AVIO_FLAG_WRITE),
              "create the file");
        // The edit list that hides the encoder's priming and padding is timed in the movie's
        // timescale; the default of 1000 would round the length to whole milliseconds.
        AVDictionary* muxOptions = nullptr;
        av_dict_set_int(&muxOptions, "movie_timescale", audio_.sampleRate, 0);
        const int written = avformat_write_header(ctx, &muxOptions);
        const bool unused = av_dict_count(muxOptions) != 0;
        av_dict_free(&muxOptions);
        check(written, "write the header");
        if (unused) throw std::runtime_error("the m4a muxer has no movie_timescale option");

        packet_.reset(av_packet_alloc());
        frame_.reset(av_frame_alloc());
        if (!packet_ || !frame_) throw std::runtime_error("out of memory");
    }

    void encodeFrame(size_t at, size_t count) {
        AVFrame* frame = frame_.get();
        av_frame_unref(frame);
        frame->nb_samples = static_cast<int>(count);
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = audio_.sampleRate;
        check(av_channel_layout_copy(&frame->ch_layout, &codec_->ch_layout), "set the layout");
        check(av_frame_get_buffer(frame, 0), "allocate a frame");
        for (size_t c = 0; c < audio_.channels.size(); ++c) {
            const float* src = audio_.channels[c].data() + at;
            std::copy(src, src + count, reinterpret_cast<float*>(frame->extended_data[c]));
        }
        frame->pts = static_cast<int64_t>(at);
        check(avcodec_send_frame(codec_.get(), frame), "encode");
        writePackets();
    }

    void writePackets() {
        for (;;) {
            const int err = avcodec_receive_packet(codec_.get(), packet_.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
            check(err, "encode");
            av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
            packet_->stream_index = stream_->index;
            check(av_interleaved_write_frame(output_.get(), packet_.get()), "write a packet");
        }
    }

    std::string path_;
    std::string partPath_;
    const PlanarAudio& audio_;
    Owned<AVFormatContext, closeOutput> output_;
    Owned<AVCodecContext, avcodec_free_context> codec_;
    Owned<AVPacket, av_packet_free> packet_;
    Owned<AVFrame, av_frame_free> frame_;
    AVStream* stream_ = nullptr;
};

} // namespace

void writeAacM4a(const std::string& path, const PlanarAudio& audio) {
    Encoder encoder(path, audio);
    try {
        encoder.run();
        encoder.commit();
    } catch (...) {
        encoder.discard();
        throw;
    }
}

} // namespace audiofiles
