#pragma once
// The render-thread role. The audio layer marks its render callback with a RenderThreadScope;
// code that must not block there (printing, queueing blocks) asks isRenderThread().

namespace pf {

// [any-thread] True while the calling thread runs inside a RenderThreadScope.
bool isRenderThread() noexcept;

// Marks the calling thread as the render thread for the scope's lifetime; nests.
class RenderThreadScope {
public:
    RenderThreadScope() noexcept;
    ~RenderThreadScope();
    RenderThreadScope(const RenderThreadScope&) = delete;
    RenderThreadScope& operator=(const RenderThreadScope&) = delete;

private:
    bool previous_;
};

} // namespace pf
