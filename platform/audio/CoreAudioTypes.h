// Core-audio value types shared by every audio layer: buffer lists, time stamps, render action
// flags, the scalar aliases of the audio-unit interfaces and the status codes they return.
//
// Plain data; no functions here allocate, lock or block, so everything is usable on the render
// thread. A status (`OSStatus`) of `noErr` means success; any other value names the failure.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pf {

using OSStatus = std::int32_t;
using AUAudioUnitStatus = OSStatus;
using NSInteger = std::int64_t;
using NSUInteger = std::uint64_t;

using AUAudioFrameCount = std::uint32_t;
using AUAudioChannelCount = std::uint32_t;
using AUEventSampleTime = std::int64_t;
using AUParameterAddress = std::uint64_t;
using AUValue = float;
using AVAudioFrameCount = std::uint32_t;
using AVAudioChannelCount = std::uint32_t;

// Status codes.
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus kAudio_ParamError = -50;
inline constexpr OSStatus kAudioUnitErr_InvalidProperty = -10879;
inline constexpr OSStatus kAudioUnitErr_InvalidParameter = -10878;
inline constexpr OSStatus kAudioUnitErr_InvalidElement = -10877;
inline constexpr OSStatus kAudioUnitErr_NoConnection = -10876;
inline constexpr OSStatus kAudioUnitErr_FailedInitialization = -10875;
inline constexpr OSStatus kAudioUnitErr_TooManyFramesToProcess = -10874;
inline constexpr OSStatus kAudioUnitErr_InvalidFile = -10871;
inline constexpr OSStatus kAudioUnitErr_UnknownFileType = -10870;
inline constexpr OSStatus kAudioUnitErr_FileNotSpecified = -10869;
inline constexpr OSStatus kAudioUnitErr_FormatNotSupported = -10868;
inline constexpr OSStatus kAudioUnitErr_Uninitialized = -10867;
inline constexpr OSStatus kAudioUnitErr_InvalidScope = -10866;
inline constexpr OSStatus kAudioUnitErr_PropertyNotWritable = -10865;
inline constexpr OSStatus kAudioUnitErr_CannotDoInCurrentContext = -10863;
inline constexpr OSStatus kAudioUnitErr_InvalidPropertyValue = -10851;
inline constexpr OSStatus kAudioUnitErr_PropertyNotInUse = -10850;
inline constexpr OSStatus kAudioUnitErr_Initialized = -10849;
inline constexpr OSStatus kAudioUnitErr_InvalidOfflineRender = -10848;
inline constexpr OSStatus kAudioUnitErr_Unauthorized = -10847;
inline constexpr OSStatus kAudioUnitErr_ComponentManagerNotSupported = -66740;
inline constexpr OSStatus kAudioUnitErr_MissingKey = -66741;
inline constexpr OSStatus kAudioUnitErr_InvalidFilePath = -66742;
inline constexpr OSStatus kAudioUnitErr_InvalidParameterValue = -66743;
inline constexpr OSStatus kAudioUnitErr_ExtensionNotFound = -66744;
inline constexpr OSStatus kAudioUnitErr_RenderTimeout = -66745;

// One buffer of a buffer list. `mData` may be null: an output list whose first buffer has no
// data asks the renderer to supply memory (in place, on its input).
struct AudioBuffer {
    std::uint32_t mNumberChannels = 0;
    std::uint32_t mDataByteSize = 0;
    void* mData = nullptr;
};

// A list of buffers with a fixed capacity (instead of a trailing array), so it is an ordinary
// value. Only the first `mNumberBuffers` entries are meaningful; non-interleaved audio has one
// buffer per channel.
inline constexpr std::uint32_t kAudioBufferListCapacity = 8;

struct AudioBufferList {
    std::uint32_t mNumberBuffers = 0;
    AudioBuffer mBuffers[kAudioBufferListCapacity] = {};
};

using AudioTimeStampFlags = std::uint32_t;
inline constexpr AudioTimeStampFlags kAudioTimeStampNothingValid = 0;
inline constexpr AudioTimeStampFlags kAudioTimeStampSampleTimeValid = 1u << 0;
inline constexpr AudioTimeStampFlags kAudioTimeStampHostTimeValid = 1u << 1;
inline constexpr AudioTimeStampFlags kAudioTimeStampRateScalarValid = 1u << 2;
inline constexpr AudioTimeStampFlags kAudioTimeStampWordClockTimeValid = 1u << 3;

// The time of the first frame of a render cycle. Renderers here read `mSampleTime` only and pass
// the rest through.
struct AudioTimeStamp {
    double mSampleTime = 0.0;
    std::uint64_t mHostTime = 0;
    double mRateScalar = 1.0;
    std::uint64_t mWordClockTime = 0;
    AudioTimeStampFlags mFlags = kAudioTimeStampNothingValid;
};

using AudioUnitRenderActionFlags = std::uint32_t;
inline constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_PreRender = 1u << 2;
inline constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_PostRender = 1u << 3;
inline constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_OutputIsSilence = 1u << 4;
inline constexpr AudioUnitRenderActionFlags kAudioOfflineUnitRenderAction_Preflight = 1u << 5;
inline constexpr AudioUnitRenderActionFlags kAudioOfflineUnitRenderAction_Render = 1u << 6;
inline constexpr AudioUnitRenderActionFlags kAudioOfflineUnitRenderAction_Complete = 1u << 7;
inline constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_PostRenderError = 1u << 8;
inline constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_DoNotCheckRenderArgs = 1u << 9;

} // namespace pf
