#include "AUEnginePlayer.h"

#include <array>
#include <random>

#include "audio/AVAudioSession.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/NSError.h"

using pf::Console;

namespace {

void print(const std::string& line) {
    Console::printLine(line);
}

constexpr int kFileCount = 80;

} // namespace

// ---- Construction -------------------------------------------------------------------------

std::shared_ptr<AUEnginePlayer> AUEnginePlayer::make() {
    std::shared_ptr<AUEnginePlayer> player(new AUEnginePlayer());
    player->init();
    return player;
}

AUEnginePlayer::AUEnginePlayer() = default;

AUEnginePlayer::~AUEnginePlayer() = default;

void AUEnginePlayer::init() {
    // Called by the unit on its render thread: copy what the call lends, queue the rest.
    midiOutBlock_ = pf::AUMIDIOutputEventBlock([](pf::AUEventSampleTime sampleTime, std::uint8_t,
                                                  pf::NSInteger length,
                                                  const std::uint8_t* data) -> pf::OSStatus {
        std::array<std::uint8_t, 3> bytes{};
        // Nothing is read through a null pointer, whatever length comes with it.
        const int count = data != nullptr && length > 0
                              ? static_cast<int>(std::min<pf::NSInteger>(length, 3))
                              : 0;
        for (int i = 0; i < count; ++i)
            bytes[std::size_t(i)] = data[i];
        pf::DispatchQueue::main().async([sampleTime, length, bytes, count] {
            if (length != 3)
                print("AUEnginePlayer::WARNING: The MIDI data length is not as expected.");
            std::string line =
                "AUEnginePlayer: MIDI event from audio unit at: " + std::to_string(sampleTime) +
                ", data: ";
            for (int i = 0; i < count; ++i) {
                if (i > 0) line += ", ";
                line += std::to_string(bytes[std::size_t(i)]);
            }
            print(line);
        });
        return 0;
    });
    engine_ = pf::AVAudioEngine::make();
    stateChangeQueue_ = std::make_unique<pf::DispatchQueue>("org.orvex.AUEnginePlayer.stateQueue");
    player_ = pf::AVAudioPlayerNode::make();
    draw_ = [](int low, int high) {
        static std::mt19937 generator{std::random_device{}()};
        return std::uniform_int_distribution<int>(low, high)(generator);
    };
    engine_->attach(player_);
}

std::shared_ptr<AUEnginePlayerDelegate> AUEnginePlayer::delegate() const {
    std::lock_guard lock(delegateMutex_);
    return delegate_;
}

void AUEnginePlayer::setDelegate(std::shared_ptr<AUEnginePlayerDelegate> delegate) {
    std::lock_guard lock(delegateMutex_);
    delegate_ = std::move(delegate);
}

void AUEnginePlayer::setRandomDrawForTesting(RandomDraw draw) {
    std::lock_guard lock(drawMutex_);
    draw_ = std::move(draw);
}

void AUEnginePlayer::syncStateQueueForTesting() {
    stateChangeQueue_->sync([] {});
}

std::shared_ptr<pf::AVAudioFile> AUEnginePlayer::file() const {
    std::lock_guard lock(fileMutex_);
    return file_;
}

std::optional<pf::URL> AUEnginePlayer::fileURL() const {
    std::lock_guard lock(fileMutex_);
    return fileURL_;
}

// ---- Wiring -------------------------------------------------------------------------------

void AUEnginePlayer::connect(std::shared_ptr<pf::AVAudioUnit> avAudioUnit, Completion completion) {
    const bool withUnit = avAudioUnit != nullptr;
    {
        std::lock_guard rewiring(rewireMutex_);
        print(withUnit ? "AUEnginePlayer: A new audio unit will be connected."
                       : "AUEnginePlayer::WARNING: Function connect() with argument 'nil' causes "
                         "disconnection.");
        bool resetPending = true;
        const auto mixer = engine_->mainMixerNode();
        if (activeAVAudioUnit_) {
            engine_->disconnectNodeInput(activeAVAudioUnit_);
            engine_->disconnectNodeInput(mixer);
            resetAudioLoop();
            resetPending = false;
            engine_->detach(activeAVAudioUnit_);
            print("AUEnginePlayer: Audio unit was disconnecting and detaching.");
            activeAVAudioUnit_ = nullptr;
        }
        activeAVAudioUnit_ = avAudioUnit;
        const auto output = engine_->outputNode();
        engine_->connect(mixer, output, output->outputFormat(0));
        if (isPlaying_.load()) player_->pause();

        if (withUnit) {
            if (const auto& au = avAudioUnit->auAudioUnit(); au && !au->MIDIOutputNames().empty()) {
                print("AUEnginePlayer: The audio unit reports MIDI output names. Assigning a "
                      "handling block.");
                au->setMIDIOutputEventBlock(midiOutBlock_);
            }
            engine_->attach(avAudioUnit);
            print("AUEnginePlayer: Audio unit was attached.");
            engine_->disconnectNodeInput(mixer);
            if (const auto current = file()) {
                engine_->connect(player_, avAudioUnit, current->processingFormat());
                print("AUEnginePlayer: Audio Unit was connected to the player.");
                engine_->connect(avAudioUnit, mixer, nullptr);
                print("AUEnginePlayer: Audio Unit was connected to the main mixer.");
            } else {
                print("AUEnginePlayer::ERROR: There was a problem with the file processing format "
                      "or the file is nil (yet).");
            }
        } else if (resetPending) {
            resetAudioLoop();
        }
        if (isPlaying_.load()) player_->play();
    }
    // The completion reaches the delegate: no lock of ours is held while it runs.
    if (completion) completion();
    if (!withUnit) print("AUEnginePlayer: The audio unit was set to 'nil'.");
}

void AUEnginePlayer::disconnect() {
    connect(nullptr, [] { print("AUEnginePlayer: Performed audio unit disconnection."); });
}

void AUEnginePlayer::resetAudioLoop() {
    std::lock_guard rewiring(rewireMutex_);
    if (const auto current = file()) {
        engine_->connect(player_, engine_->mainMixerNode(), current->processingFormat());
    } else {
        print("AUEnginePlayer: ERROR: There is a problem with the audio file processing format.");
    }
}

// ---- Files --------------------------------------------------------------------------------

void AUEnginePlayer::load(std::optional<pf::URL> url) {
    loopCount_.store(0);
    print("AUEnginePlayer: Audio file at '" + (url ? url->path() : std::string()) +
          "' was selected for loading into the player.");
    {
        std::lock_guard lock(fileMutex_);
        fileURL_ = url;
    }
    std::shared_ptr<pf::AVAudioFile> opened;
    try {
        if (!url) {
            throw pf::NSErrorException(pf::NSError(pf::NSCocoaErrorDomain,
                                                   pf::NSFileNoSuchFileError,
                                                   {{pf::NSLocalizedDescriptionKey, "No URL."}}));
        }
        opened = pf::AVAudioFile::forReading(*url);
    } catch (const pf::NSErrorException& e) {
        print("AUEnginePlayer::ERROR: Could not create AVAudioFile instance for URL '" +
              (url ? url->absoluteString() : std::string("nil")) +
              "'. error: " + e.error().localizedDescription() + ".");
        return;
    }
    {
        std::lock_guard lock(fileMutex_);
        file_ = opened;
    }
    if (const auto d = delegate()) d->onFileSelect(url->path());

    std::lock_guard rewiring(rewireMutex_);
    const auto mixer = engine_->mainMixerNode();
    if (activeAVAudioUnit_) {
        if (isPlaying_.load()) player_->stop();
        engine_->disconnectNodeInput(mixer);
        print("AUEnginePlayer: Player was (temporarily) disconnecting from the main mixer.");
        engine_->disconnectNodeInput(activeAVAudioUnit_);
        print("AUEnginePlayer: Audio unit was (temporarily) disconnecting from the player.");
        engine_->connect(player_, activeAVAudioUnit_, nullptr);
        print(std::to_string(opened->processingFormat()->channelCount()));
        print("AUEnginePlayer: Audio unit re-connecting to the player.");
        engine_->connect(activeAVAudioUnit_, mixer, nullptr);
        print("AUEnginePlayer: Audio unit re-connectingto the main mixer.");
        if (isPlaying_.load()) player_->play();
    } else {
        if (isPlaying_.load()) player_->stop();
        engine_->disconnectNodeInput(mixer);
        engine_->connect(player_, mixer, opened->processingFormat());
        print("AUEnginePlayer: The player was connected to the mainMixerNode.");
        if (isPlaying_.load()) player_->play();
    }
}

void AUEnginePlayer::randomizeFile() {
    int n = 0;
    {
        std::lock_guard lock(drawMutex_);
        n = draw_(1, kFileCount);
    }
    const auto url = pf::Bundle::main().url(std::to_string(n), "m4a");
    {
        std::lock_guard lock(fileMutex_);
        fileURL_ = url;
    }
    if (!url) {
        print("AUEnginePlayer::ERROR: The audio file '" + std::to_string(n) +
              "' was not found inside the resource folder for the app.");
        return;
    }
    load(url);
    print(url->path());
    engine_->prepare();
}

// ---- Playback -----------------------------------------------------------------------------

void AUEnginePlayer::start() {
    randomizeFile();
    auto self = shared_from_this();
    stateChangeQueue_->sync([this, &self] {
        if (isPlaying_.load()) return;
        if (!startPlayingInternal()) return;
        pf::DispatchQueue::main().async([self] {
            print("AUEnginePlayer: Audio engine starting.");
            if (const auto d = self->delegate()) d->onPlayerStateChanged(true);
        });
    });
}

bool AUEnginePlayer::startPlayingInternal() {
    setSessionActive(true);
    // A new playback: completions of the files scheduled before belong to the one that ended.
    playbackGeneration_.fetch_add(1);
    scheduleEffectLoop();
    // With no file at all nothing could sound: the start fails instead of reporting playback.
    if (!file()) return false;
    const auto output = engine_->outputNode();
    engine_->connect(engine_->mainMixerNode(), output, output->outputFormat(0));
    try {
        engine_->start();
    } catch (const pf::NSErrorException& e) {
        isPlaying_.store(false);
        print("AUEnginePlayer::ERROR: Could not start audio engine. error: " +
              e.error().localizedDescription() + ".");
        // The file scheduled above would otherwise pile up with every failed start.
        player_->stop();
        return false;
    }
    player_->play();
    isPlaying_.store(true);
    return true;
}

void AUEnginePlayer::setSessionActive(bool active) {
    auto& session = pf::AVAudioSession::sharedInstance();
    try {
        session.setCategory(pf::AVAudioSessionCategoryPlayback, pf::AVAudioSessionModeDefault, 0);
        session.setActive(active, 0);
        print("AUEnginePlayer: Audio session was set active.");
    } catch (const pf::NSErrorException& e) {
        print(std::string("AUEnginePlayer::ERROR: Could not set audio session active ") +
              (active ? "true" : "false") + ". system error: " + e.error().localizedDescription() +
              ".");
    }
}

void AUEnginePlayer::scheduleEffectLoop() {
    const auto current = file();
    if (!current) {
        print("AUEnginePlayer::ERROR: `file` parameter must not be nil.");
        return;
    }
    auto self = shared_from_this();
    const auto generation = playbackGeneration_.load();
    player_->scheduleFile(current, std::nullopt, [self, generation] {
        // On the player's notifier thread: go on through the state queue. A handler flushed by a
        // stop may get there after the next start: it belongs to the playback that ended and
        // must not start a second chain next to the new one.
        self->stateChangeQueue_->async([self, generation] {
            if (!self->isPlaying_.load() || self->playbackGeneration_.load() != generation) return;
            pf::DispatchQueue::main().async([self] { self->reportLoop(); });
            self->scheduleEffectLoop();
        });
    });
}

void AUEnginePlayer::reportLoop() {
    if (const auto d = delegate()) d->onLoop(loopCount_.load());
    const auto count = loopCount_.fetch_add(1) + 1;
    // After a missing resource `fileURL` is none while the earlier file loops on: name that one.
    auto url = fileURL();
    if (!url) {
        if (const auto current = file()) url = current->url();
    }
    print("AUEnginePlayer: Current audio file '" + (url ? url->path() : std::string()) +
          "' looped: " + std::to_string(count) + ".");
}

void AUEnginePlayer::stop() {
    auto self = shared_from_this();
    stateChangeQueue_->sync([this, &self] {
        if (!isPlaying_.load()) return;
        stopPlayingInternal();
        pf::DispatchQueue::main().async([self] {
            print("AUEnginePlayer: Audio engine stopping.");
            if (const auto d = self->delegate()) d->onPlayerStateChanged(false);
        });
    });
}

void AUEnginePlayer::stopPlayingInternal() {
    player_->stop();
    engine_->stop();
    isPlaying_.store(false);
    setSessionActive(false);
}

bool AUEnginePlayer::toggle() {
    if (isPlaying_.load()) {
        stop();
    } else {
        start();
    }
    return isPlaying_.load();
}

void AUEnginePlayer::finalize() {
    stop();
    disconnect();
}
