// AnimationSequencer: plays animators on a common frame clock. Each entry is placed at a start
// frame (stored in the animator); every timer tick advances the clock by one frame, brings in each
// entry whose start frame the clock has reached, steps every entry that is in, and the run ends on
// the tick on which the clock reaches the end of the longest placement. An entry placed at frame 0
// or below comes in on frame 1 like one placed at frame 1, and its end frame counts from there, so
// every entry completes. Entries with equal start frames keep the order in which they were added.
//
// Thread: the thread whose run loop the timer was scheduled on; nothing is locked.
// Ownership: owned by std::shared_ptr (create()); holds its entries and callbacks strongly; the
// timer's block holds the sequencer until stop().
//
// At the end of a run the sequencer stops (timer gone, clock and index 0) and then calls
// onFinished, so a restart made from onFinished survives; a tick that a callback stopped or
// restarted ends at once. Lines printed directly on standard output:
// "FEHLER: Das Animator Objekt ist ungültig." for an absent item given to add(), and
// "WARNUNG: Es sind keine Animator Objekte definiert." on every unsuspended tick with no entries.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Animator.h"

class AnimationSequencer : public std::enable_shared_from_this<AnimationSequencer> {
public:
    using ItemCallback = std::function<void(AnimationSequencer&, Animator&)>;
    using Callback = std::function<void(AnimationSequencer&)>;

    static std::shared_ptr<AnimationSequencer> create() {
        return std::make_shared<AnimationSequencer>();
    }
    AnimationSequencer() = default;
    virtual ~AnimationSequencer();
    AnimationSequencer(const AnimationSequencer&) = delete;
    AnimationSequencer& operator=(const AnimationSequencer&) = delete;

    float interval = 0.005f;  // seconds between ticks, read by start()
    ItemCallback onAnimation; // each entry that is in, each tick, before it is stepped
    Callback onFinished;      // once, when the clock reaches the end frame

    // Places the item at the frame (its _startFrame), keeps the list sorted and raises the end
    // frame. An absent item prints the error line and changes nothing.
    virtual void add(std::shared_ptr<Animator> item, std::int64_t at);
    // Removes the first entry that is this item (none: no change); the end frame never shrinks.
    virtual void remove(const std::shared_ptr<Animator>& item);
    // Empties the list and sets the end frame to 0; timer, clock and entries in play stay.
    virtual void removeAll();
    virtual std::int64_t getCount() const { return static_cast<std::int64_t>(_animators.size()); }
    virtual std::int64_t getCurrentCount() const {
        return static_cast<std::int64_t>(_animatedItems.size());
    }
    virtual std::int64_t getCurrentFrame() const { return _currentFrame; }
    virtual std::int64_t getCurrentIndex() const { return _currentIndex; }
    std::int64_t getMaxFrames() const { return _maxFrames; }
    // Schedules the repeating timer (a running one is invalidated first); each firing advances
    // the clock by one frame, then animate(). Nothing is reset: a sequencer resumes where it stood.
    virtual void start();
    // Invalidates the timer; clock and index back to 0. Entries and end frame stay.
    virtual void stop();
    // While paused, ticks still advance the clock but do nothing else.
    virtual void pause() { _suspended = true; }
    // The platform name is continue(), a keyword here.
    virtual void continue_() { _suspended = false; }
    // Rewinds every entry (each keeps its own interval and curve).
    virtual void rewind();
    // Moves the clock to the frame: entries placed before it are stopped, the others rewound. A
    // frame beyond the end stops the sequencer.
    virtual void seek(std::int64_t to);
    // One tick's work; called directly it does not advance the clock.
    virtual void animate();
    // Raises the end frame to the end of every placement; never lowers it.
    virtual void calculateFrames();

    bool isRunning() const { return _timer != nullptr; }

private:
    void findAnimators();
    void scheduleItem(const std::shared_ptr<Animator>& item);
    void reset();

    std::shared_ptr<pf::Timer> _timer;
    std::int64_t _currentFrame = 0;
    std::int64_t _maxFrames = 0;
    std::vector<std::shared_ptr<Animator>> _animators;
    std::vector<std::shared_ptr<Animator>> _animatedItems;
    std::int64_t _currentIndex = 0;
    bool _suspended = false;
    std::uint64_t _run = 0; // changes on start() and reset()
};
