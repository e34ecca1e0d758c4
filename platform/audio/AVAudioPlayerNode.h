// AVAudioPlayerNode: a source node that plays scheduled files, one after the other.
//
// `scheduleFile` appends a whole file after everything already scheduled. The player converts
// each file from its processing format to the player's output format (the format of its output
// connection): rate conversion, channels mapped as FormatConverter does.
//
// A file's completion handler runs once the player has consumed the file's data: the player reads
// a fixed `kReadAheadSeconds` ahead of its render position, so the handler runs when the render
// position comes within that distance of the file's last frame (at once for a file shorter than
// that), not when the last frame is heard. A file scheduled from the handler thus follows the
// previous one sample for sample. `stop` flushes every file not yet played to its end and runs
// each handler that has not run yet. Handlers run on the player's notifier thread, never on the
// render thread and never inside a call of the player, in schedule order and one at a time; a
// handler may call the player (schedule, play, stop) and may drop the last reference to it.
//
// Threads: scheduling and transport are [any-thread, not render]; under the player's lock they
// only move prepared values (converters are built and old schedules freed outside it). The engine
// renders the player on its [render-thread], which only try-locks that lock (a bounded number of
// times): a cycle that still finds it busy renders silence for the player.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "audio/AVAudioFile.h"
#include "audio/AVAudioNode.h"
#include "audio/AVAudioTime.h"

namespace pf {

using AVAudioNodeCompletionHandler = std::function<void()>;

class AVAudioPlayerNode final : public AVAudioNode {
public:
    // How far the player reads ahead of its render position. Whatever is scheduled from a
    // completion handler has this long to arrive before the schedule runs dry.
    static constexpr double kReadAheadSeconds = 0.25;

    AVAudioPlayerNode();
    ~AVAudioPlayerNode() override;
    static std::shared_ptr<AVAudioPlayerNode> make() {
        return std::make_shared<AVAudioPlayerNode>();
    }

    // Appends the whole of `file`. `when` must be absent (as soon as possible); a time is
    // ignored. The handler (may be empty) runs as described at the top of this file.
    void scheduleFile(std::shared_ptr<AVAudioFile> file, std::optional<AVAudioTime> when,
                      AVAudioNodeCompletionHandler completionHandler);
    // Starts or resumes rendering the schedule (silence while nothing is scheduled).
    void play();
    // Stops rendering; the schedule and the position stay.
    void pause();
    // Clears the schedule, hands every pending handler to the notifier thread, resets the time.
    void stop();
    bool isPlaying() const;
    // [any-thread, never from a handler] Returns once every handler the player had made due when
    // it was called has returned. For tests: a handler that has not run then was not due.
    void waitForDueHandlersForTesting();

    NSUInteger numberOfInputs() const override { return 0; }
    NSUInteger numberOfOutputs() const override { return 1; }
    std::shared_ptr<const AVAudioFormat> outputFormat(NSUInteger bus) const override;

    // Frames the player has rendered from its schedule since the last stop.
    std::uint64_t renderedFrames() const;

    // [render-thread] For the engine that renders the player: `frames` frames into `count`
    // channels (the output format's count). Silence while paused, stopped, empty or busy.
    void renderOutput(AUAudioFrameCount frames, float* const* channels,
                      AVAudioChannelCount count) noexcept;

private:
    friend class AVAudioEngine;
    struct Shared;

    // [engine, not render] Converts the schedule to a new output format from here on.
    void setOutputFormat(std::shared_ptr<const AVAudioFormat> format);

    std::shared_ptr<Shared> shared_;
};

} // namespace pf
