#include "audio/AVAudioPlayerNode.h"

#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "audio/engine/FormatConverter.h"

namespace pf {

namespace {

struct Segment {
    std::shared_ptr<const DecodedAudio> samples;
    AVAudioNodeCompletionHandler handler;
    std::unique_ptr<FormatConverter> converter;
    std::uint64_t startFrame = 0; // input frame the converter started at
    std::uint64_t inputPosition = 0;
    std::uint64_t outputDone = 0;
    std::uint64_t outputTotal = 0;
    // Set on the render thread once the render position is within the read-ahead of the end:
    // the handler is then due.
    bool consumed = false;

    void prepare(const AVAudioFormat& output) {
        if (converter && outputDone > 0) {
            // Resume the new conversion where the old one had got to, in input frames.
            startFrame +=
                outputDone * samples->frameLength() /
                std::max<std::uint64_t>(converter->outputFramesFor(samples->frameLength()), 1);
        }
        const auto input = AVAudioFormat(samples->sampleRate, samples->channels,
                                         AVAudioCommonFormat::AVAudioPCMFormatFloat32, false);
        converter = std::make_unique<FormatConverter>();
        converter->configure(input, output);
        startFrame = std::min<std::uint64_t>(startFrame, samples->frameLength());
        inputPosition = startFrame;
        outputDone = 0;
        outputTotal = converter->outputFramesFor(samples->frameLength() - startFrame);
    }

    // Pulls file frames for the converter; zeros past the end feed the filter's tail.
    static void pull(void* context, AUAudioFrameCount frames, float* const* channels) noexcept {
        auto& s = *static_cast<Segment*>(context);
        const std::uint64_t length = s.samples->frameLength();
        const std::uint64_t from = std::min(s.inputPosition, length);
        const std::size_t real =
            static_cast<std::size_t>(std::min<std::uint64_t>(frames, length - from));
        for (std::uint32_t c = 0; c < s.samples->channels; ++c) {
            if (real > 0)
                std::memcpy(channels[c], s.samples->samples[c].data() + from, real * sizeof(float));
            std::memset(channels[c] + real, 0, (frames - real) * sizeof(float));
        }
        s.inputPosition += frames;
    }
};

// A few hundred microseconds of spinning at most, well inside a device period: long enough to
// ride out a holder woken from a wait (the notifier and the scheduling thread, which take the
// lock while the file plays, since the read-ahead hands over a file before its end).
constexpr int kLockAttempts = 4096;

inline void relax() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

struct AVAudioPlayerNode::Shared {
    std::mutex mutex; // the render thread only try-locks it
    std::vector<Segment> segments;
    std::size_t head = 0; // segments below head have been played to their end
    bool playing = false;
    std::shared_ptr<const AVAudioFormat> output;
    AVAudioChannelCount outputChannels = 0;
    std::uint64_t readAheadFrames = 0;
    std::uint64_t renderedFrames = 0;
    std::vector<AVAudioNodeCompletionHandler> flushed;

    sem_t wake{};
    std::atomic<bool> quit{false};
    std::thread notifier;
    // Signals posted, and how many of them the notifier has answered (its handlers returned).
    std::atomic<std::uint64_t> signalled{0};
    std::mutex answeredMutex;
    std::condition_variable answeredChanged;
    std::uint64_t answered = 0;

    Shared() { sem_init(&wake, 0, 0); }
    ~Shared() { sem_destroy(&wake); }

    void signal() noexcept {
        signalled.fetch_add(1, std::memory_order_acq_rel);
        sem_post(&wake);
    }

    // Hands every handler not handed over yet to the notifier and empties the schedule. A
    // handler leaves its segment when it is handed over, so none is handed over twice.
    void flushSchedule() {
        for (auto& s : segments) {
            if (s.handler) flushed.push_back(std::exchange(s.handler, nullptr));
        }
        segments.clear();
        head = 0;
    }

    void setReadAhead() {
        readAheadFrames =
            static_cast<std::uint64_t>(kReadAheadSeconds * output->sampleRate() + 0.5);
    }

    // The notifier thread: collects the handlers of consumed and flushed files and runs them
    // outside the lock; frees the files played to their end, also outside the lock.
    static void run(std::shared_ptr<Shared> self) {
        std::vector<AVAudioNodeCompletionHandler> due;
        std::vector<Segment> played;
        for (;;) {
            while (sem_wait(&self->wake) != 0 && errno == EINTR) {
            }
            bool quit = false;
            std::uint64_t answering = 0;
            {
                std::lock_guard lock(self->mutex);
                // Flushed files were scheduled before any file still in the schedule.
                for (auto& h : self->flushed)
                    due.push_back(std::move(h));
                self->flushed.clear();
                for (auto& segment : self->segments) {
                    if (!segment.consumed) break;
                    if (segment.handler) due.push_back(std::exchange(segment.handler, nullptr));
                }
                const auto end = self->segments.begin() + std::ptrdiff_t(self->head);
                played.insert(played.end(), std::make_move_iterator(self->segments.begin()),
                              std::make_move_iterator(end));
                self->segments.erase(self->segments.begin(), end);
                self->head = 0;
                quit = self->quit.load();
                answering = self->signalled.load(std::memory_order_acquire);
            }
            played.clear();
            for (auto& handler : due) {
                if (handler) handler();
            }
            due.clear();
            {
                std::lock_guard lock(self->answeredMutex);
                self->answered = answering;
            }
            self->answeredChanged.notify_all();
            if (quit) return;
        }
    }
};

AVAudioPlayerNode::AVAudioPlayerNode() : shared_(std::make_shared<Shared>()) {
    shared_->output = AVAudioFormat::standardFormatWithSampleRate(48000.0, 2);
    shared_->outputChannels = 2;
    shared_->setReadAhead();
    shared_->notifier = std::thread(&Shared::run, shared_);
}

AVAudioPlayerNode::~AVAudioPlayerNode() {
    {
        std::lock_guard lock(shared_->mutex);
        // Handlers of unplayed files still run (as after stop), before the notifier ends.
        shared_->flushSchedule();
        shared_->quit.store(true);
    }
    shared_->signal();
    // A handler may drop the last reference to its player: then the notifier is the thread
    // running this destructor and ends by itself once the handler returns.
    if (shared_->notifier.get_id() == std::this_thread::get_id()) {
        shared_->notifier.detach();
    } else {
        shared_->notifier.join();
    }
}

void AVAudioPlayerNode::scheduleFile(std::shared_ptr<AVAudioFile> file,
                                     std::optional<AVAudioTime> /*when*/,
                                     AVAudioNodeCompletionHandler completionHandler) {
    if (!file) return;
    Segment segment;
    segment.samples = file->samples();
    segment.handler = std::move(completionHandler);
    // The converter is built outside the lock the render thread try-locks.
    std::shared_ptr<const AVAudioFormat> format;
    {
        std::lock_guard lock(shared_->mutex);
        format = shared_->output;
    }
    segment.prepare(*format);
    std::lock_guard lock(shared_->mutex);
    if (!shared_->output->isEqual(*format)) segment.prepare(*shared_->output);
    shared_->segments.push_back(std::move(segment));
}

void AVAudioPlayerNode::play() {
    std::lock_guard lock(shared_->mutex);
    shared_->playing = true;
}

void AVAudioPlayerNode::pause() {
    std::lock_guard lock(shared_->mutex);
    shared_->playing = false;
}

void AVAudioPlayerNode::stop() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->flushSchedule();
        shared_->playing = false;
        shared_->renderedFrames = 0;
    }
    shared_->signal();
}

void AVAudioPlayerNode::waitForDueHandlersForTesting() {
    const std::uint64_t target = shared_->signalled.load(std::memory_order_acquire);
    std::unique_lock lock(shared_->answeredMutex);
    shared_->answeredChanged.wait(lock, [&] { return shared_->answered >= target; });
}

bool AVAudioPlayerNode::isPlaying() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->playing;
}

std::uint64_t AVAudioPlayerNode::renderedFrames() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->renderedFrames;
}

std::shared_ptr<const AVAudioFormat> AVAudioPlayerNode::outputFormat(NSUInteger bus) const {
    if (bus != 0) return nullptr;
    std::lock_guard lock(shared_->mutex);
    return shared_->output;
}

void AVAudioPlayerNode::setOutputFormat(std::shared_ptr<const AVAudioFormat> format) {
    if (!format) return;
    std::lock_guard lock(shared_->mutex);
    if (shared_->output->isEqual(*format)) return;
    shared_->output = std::move(format);
    shared_->outputChannels = shared_->output->channelCount();
    shared_->setReadAhead();
    for (std::size_t i = shared_->head; i < shared_->segments.size(); ++i) {
        shared_->segments[i].prepare(*shared_->output);
    }
}

void AVAudioPlayerNode::renderOutput(AUAudioFrameCount frames, float* const* channels,
                                     AVAudioChannelCount count) noexcept {
    Shared& s = *shared_;
    AUAudioFrameCount done = 0;
    // The other holders only move a few values under the lock: a short bounded retry rides out
    // such a moment instead of losing the cycle.
    std::unique_lock lock(s.mutex, std::defer_lock);
    for (int attempt = 0; attempt < kLockAttempts && !lock.try_lock(); ++attempt) {
        relax();
    }
    // The engine sizes its buffers from the output format, so the counts agree.
    if (lock.owns_lock() && s.playing && count == s.outputChannels) {
        float* offset[kAudioBufferListCapacity] = {};
        while (done < frames && s.head < s.segments.size()) {
            Segment& segment = s.segments[s.head];
            const auto n = static_cast<AUAudioFrameCount>(
                std::min<std::uint64_t>(frames - done, segment.outputTotal - segment.outputDone));
            for (AVAudioChannelCount c = 0; c < count; ++c)
                offset[c] = channels[c] + done;
            if (n > 0) segment.converter->render(n, offset, &Segment::pull, &segment);
            segment.outputDone += n;
            done += n;
            if (segment.outputDone >= segment.outputTotal) {
                segment.consumed = true;
                ++s.head;
                s.signal();
            }
        }
        s.renderedFrames += done;
        // Files whose end lies within the read-ahead of the render position are consumed.
        std::uint64_t ahead = 0;
        for (std::size_t i = s.head; i < s.segments.size(); ++i) {
            Segment& segment = s.segments[i];
            ahead += segment.outputTotal - segment.outputDone;
            if (ahead > s.readAheadFrames) break;
            if (!segment.consumed) {
                segment.consumed = true;
                s.signal();
            }
        }
    }
    for (AVAudioChannelCount c = 0; c < count; ++c) {
        std::memset(channels[c] + done, 0, std::size_t(frames - done) * sizeof(float));
    }
}

} // namespace pf
