// The DSP library's log seam. The kernel prints one line for every parameter change; on the
// render thread printing directly would block, so every line goes through one sink that the host
// side installs once at start-up (the audio unit routes render-thread lines through the
// platform's real-time log ring, to be printed unchanged from the main thread).
//
// The default sink prints the line and a newline to standard output at once, whatever the
// origin. A sink must be real-time safe for `DSPLogOrigin::renderThread` lines: no allocation, no
// lock, no blocking I/O.
#pragma once

enum class DSPLogOrigin {
    callerThread, // a setter called from outside the render cycle
    renderThread, // an event applied inside a render cycle
};

// `line` has no trailing newline and is valid only for the call.
using DSPLogSink = void (*)(const char* line, DSPLogOrigin origin) noexcept;

// [main-thread, at start-up] Installs `sink`; null puts the default back.
void setDSPLogSink(DSPLogSink sink) noexcept;

// [any-thread] Hands one line to the installed sink.
void dspLog(const char* line, DSPLogOrigin origin) noexcept;

// The default sink: `line` and a newline to standard output, in one write.
void printDSPLogLine(const char* line, DSPLogOrigin origin) noexcept;
