// AnimatorChain: runs animators one after another on one repeating timer of its own. Each tick
// steps the current entry; when it has finished, the current index moves on by the direction
// (forward 1, backward -1). In async mode each tick instead starts the current entry on its own
// timer and moves on at once, so the entries overlap, each one tick after the one before.
// A forward chain ends on the tick that takes the index to the count, a backward chain on the tick
// that takes it below 0 (so a backward walk runs entry 0 last): it stops (timer gone, index 0) and
// then calls onFinished, so a restart made from onFinished survives.
//
// Thread: the thread whose run loop the timer was scheduled on; nothing is locked.
// Ownership: owned by std::shared_ptr (create()); holds its entries and callbacks strongly; the
// timer's block holds the chain until stop(). An animator may stand in the list more than once.
//
// A tick that a callback stopped or restarted ends at once. An empty chain prints "WARNUNG: Es sind
// keine Animator Objekte definiert." on every tick and never ends by itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Animator.h"

class AnimatorChain : public std::enable_shared_from_this<AnimatorChain> {
public:
    using ItemCallback = std::function<void(AnimatorChain&, Animator&)>;
    using Callback = std::function<void(AnimatorChain&)>;

    static std::shared_ptr<AnimatorChain> create() { return std::make_shared<AnimatorChain>(); }
    AnimatorChain() = default;
    virtual ~AnimatorChain();
    AnimatorChain(const AnimatorChain&) = delete;
    AnimatorChain& operator=(const AnimatorChain&) = delete;

    float interval = 0.005f;  // seconds between ticks, read by start()
    bool async = false;       // start entries on their own timers instead of stepping them
    ItemCallback onAnimation; // every tick, with the entry it works on, before the work
    Callback onFinished;      // once, when the index has run off the end

    // Appends a present item; an absent one is ignored. No timer is started.
    virtual void add(std::shared_ptr<Animator> item);
    // Removes the first entry that is this item; an absent item, or one not in the list, leaves
    // the list unchanged. The index is not adjusted.
    virtual void remove(const std::shared_ptr<Animator>& item);
    // stop(), then empties the list.
    virtual void removeAll();
    virtual std::int64_t getCount() const { return static_cast<std::int64_t>(_animators.size()); }
    virtual std::int64_t getCurrentIndex() const { return _currentIndex; }
    // The entry at the current index, or null when the index lies outside the list.
    virtual std::shared_ptr<Animator> getCurrentItem() const;
    // Schedules the repeating timer (a running one is invalidated first). The index is kept, so a
    // chain that was not stopped resumes where it stood.
    virtual void start();
    // Invalidates the timer and sets the index to 0; direction and entries stay.
    virtual void stop();
    // true: backward (-1); false: forward (1). The index is not changed.
    virtual void setBackwards(bool direction) { _direction = direction ? -1 : 1; }
    virtual void animate();

    bool isRunning() const { return _timer != nullptr; }

private:
    void reset();

    std::shared_ptr<pf::Timer> _timer;
    std::vector<std::shared_ptr<Animator>> _animators;
    std::int64_t _currentIndex = 0;
    std::int64_t _direction = 1;
    std::uint64_t _run = 0; // changes on start() and reset()
};
