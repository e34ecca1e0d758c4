// AUEnginePlayer: the application's audio graph. One player node loops a file from the
// application's bundle, through the plug-in's audio unit when one is connected, into the engine's
// main mixer and its output. Playback starts and stops on a serial state queue; the player
// reports to its delegate on the main queue and logs every step on standard output.
//
// Threads:
//   start(), stop(), toggle()       [main-thread]; they wait for the state queue, so never from it
//   load(url:), randomize           the caller's thread (the main thread when start() loads)
//   connect(avAudioUnit:completion:) any one thread at a time (the unit's instantiation thread)
//   delegate: onPlayerStateChanged and onLoop on the main queue, onFileSelect on the loader's
//   thread.
// The playing flag and the loop count are atomics; the current file and URL sit behind a small
// lock; one rewiring lock serialises connect, load and the loop reset, and is released before the
// delegate is called; the engine locks itself and its render thread only try-locks.
//
// Ownership: always held by std::shared_ptr (`make`). Queued blocks and the file's completion
// handler hold the player until they have run. The delegate is held strongly. Destroying the
// player does not stop a running engine explicitly; the engine stops and joins its device when it
// goes with the player.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "audio/AUBlocks.h"
#include "audio/AVAudioEngine.h"
#include "audio/AVAudioFile.h"
#include "audio/AVAudioNode.h"
#include "audio/AVAudioPlayerNode.h"
#include "core/Dispatch.h"
#include "core/URL.h"

class AUEnginePlayerDelegate {
public:
    virtual ~AUEnginePlayerDelegate() = default;
    // Playback has started (true) or stopped (false). [main-queue]
    virtual void onPlayerStateChanged(bool playing) = 0;
    // The file at this path has just been opened. [the loading thread]
    virtual void onFileSelect(const std::string& file) = 0;
    // The file has played to its end once more; `count` is the loop count before this loop.
    // [main-queue]
    virtual void onLoop(std::int64_t count) = 0;
};

class AUEnginePlayer : public std::enable_shared_from_this<AUEnginePlayer> {
public:
    using Completion = std::function<void()>;
    // Draws a whole number from `low` to `high`, both included.
    using RandomDraw = std::function<int(int low, int high)>;

    // A new player with its player node attached to a new engine.
    static std::shared_ptr<AUEnginePlayer> make();
    virtual ~AUEnginePlayer();
    AUEnginePlayer(const AUEnginePlayer&) = delete;
    AUEnginePlayer& operator=(const AUEnginePlayer&) = delete;

    std::shared_ptr<AUEnginePlayerDelegate> delegate() const;
    void setDelegate(std::shared_ptr<AUEnginePlayerDelegate> delegate);

    // Removes the current unit (if any) and wires `avAudioUnit` (none: no unit) between the
    // player and the main mixer; runs `completion` on the caller's thread before returning.
    virtual void connect(
        std::shared_ptr<pf::AVAudioUnit> avAudioUnit, Completion completion = [] {});
    // connect(nullptr) with a completion that logs the disconnection.
    virtual void disconnect();
    // Opens the file at `url` and rewires the graph for it.
    virtual void load(std::optional<pf::URL> url);
    virtual void start();
    virtual void stop();
    // stop() while playing, start() otherwise; answers whether it is playing afterwards.
    virtual bool toggle();
    // stop(), then disconnect().
    virtual void finalize();

    // Tests: the draw of the file number (uniform over 1 … 80 by default).
    void setRandomDrawForTesting(RandomDraw draw);
    // Tests: returns once every block queued on the state queue so far has run. [not the queue]
    void syncStateQueueForTesting();

protected:
    AUEnginePlayer();

private:
    void init();
    virtual void randomizeFile();
    virtual void setSessionActive(bool active);
    virtual bool startPlayingInternal();
    virtual void scheduleEffectLoop();
    virtual void stopPlayingInternal();
    virtual void resetAudioLoop();
    void reportLoop();
    std::shared_ptr<pf::AVAudioFile> file() const;
    std::optional<pf::URL> fileURL() const;

    pf::AUMIDIOutputEventBlock midiOutBlock_;
    mutable std::mutex delegateMutex_;
    std::shared_ptr<AUEnginePlayerDelegate> delegate_;
    std::shared_ptr<pf::AVAudioEngine> engine_;
    std::shared_ptr<pf::AVAudioUnit> activeAVAudioUnit_; // under rewireMutex_
    std::atomic<bool> isPlaying_{false};
    std::atomic<std::int64_t> loopCount_{0};
    // Counts successful starts; a file's completion continues the loop only in its own playback.
    std::atomic<std::uint64_t> playbackGeneration_{0};
    std::unique_ptr<pf::DispatchQueue> stateChangeQueue_;
    std::shared_ptr<pf::AVAudioPlayerNode> player_;
    mutable std::mutex fileMutex_;
    std::shared_ptr<pf::AVAudioFile> file_;
    std::optional<pf::URL> fileURL_;
    std::recursive_mutex rewireMutex_;
    std::mutex drawMutex_;
    RandomDraw draw_;
};
