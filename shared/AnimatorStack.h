// AnimatorStack: runs any number of animators side by side on one repeating timer of its own.
// Each tick steps every entry that is still running, drops an entry on the tick on which it
// finishes (onRemovedItem), and once a tick finds no running entry at all the group is done: the
// stack stops (timer gone, list emptied) and then calls onFinished, so a restart made from
// onFinished (add, start) survives.
//
// Thread: the thread whose run loop the timer was scheduled on (start()); nothing is locked.
// Ownership: owned by std::shared_ptr (create()); holds its entries and callbacks strongly; the
// timer's block holds the stack until stop(). The same animator may be added more than once.
//
// A tick that a callback stopped or restarted (stop(), reset(), start()) ends at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Animator.h"

class AnimatorStack : public std::enable_shared_from_this<AnimatorStack> {
public:
    using ItemCallback = std::function<void(AnimatorStack&, Animator&)>;
    using Callback = std::function<void(AnimatorStack&)>;

    static std::shared_ptr<AnimatorStack> create() { return std::make_shared<AnimatorStack>(); }
    AnimatorStack() = default;
    virtual ~AnimatorStack();
    AnimatorStack(const AnimatorStack&) = delete;
    AnimatorStack& operator=(const AnimatorStack&) = delete;

    float interval = 0.005f;    // seconds between ticks, read by start()
    ItemCallback onAnimation;   // each running entry, each tick, before it is stepped
    Callback onFinished;        // once, when a tick finds no running entry
    ItemCallback onRemovedItem; // each entry that finished on this tick, after it left the list

    // Appends a present item; starts no timer. An absent item is ignored.
    virtual void add(std::shared_ptr<Animator> item);
    virtual std::int64_t getCount() const { return static_cast<std::int64_t>(_animators.size()); }
    virtual std::vector<std::shared_ptr<Animator>> getItems() const { return _animators; }
    // Schedules the repeating timer on the calling thread's run loop; a running timer is
    // invalidated first.
    virtual void start();
    // reset(): the timer goes and the list is emptied.
    virtual void stop();
    // One tick; the timer calls it, a caller may step the group by hand.
    virtual void animate();
    virtual void reset();

    bool isRunning() const { return _timer != nullptr; }

private:
    std::shared_ptr<pf::Timer> _timer;
    std::vector<std::shared_ptr<Animator>> _animators;
    std::uint64_t _run = 0; // changes on start() and reset()
};
