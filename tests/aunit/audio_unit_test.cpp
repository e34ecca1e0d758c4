// The audio-unit base class: identity, life cycle and its statuses, the host's render block, buses
// and their formats, and the view-controller request.
#include <array>

#include <gtest/gtest.h>

#include "TestUnit.h"
#include "core/RunLoop.h"

namespace pf {
namespace {

using test::MisuseRecorder;
using test::TestUnit;

struct Stereo {
    std::array<float, 64> left{};
    std::array<float, 64> right{};
    AudioBufferList list;
    AudioTimeStamp time;
    Stereo() {
        list.mNumberBuffers = 2;
        list.mBuffers[0] = {1, sizeof left, left.data()};
        list.mBuffers[1] = {1, sizeof right, right.data()};
    }
};

AUAudioUnitStatus renderOnce(const AURenderBlock& block, Stereo& io, AUAudioFrameCount frames,
                             NSInteger bus = 0) {
    AudioUnitRenderActionFlags flags = 0;
    return block(&flags, &io.time, frames, bus, &io.list, nullptr);
}

class AudioUnitBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        AudioComponentRegistry::shared().registerComponent(
            test::kTestDescription, "Test Maker: Test Unit", 0x00020003,
            [](const AudioComponentDescription& d, AudioComponentInstantiationOptions) {
                return std::make_shared<TestUnit>(d);
            });
    }
};

TEST_F(AudioUnitBase, IdentityComesFromTheRegisteredComponent) {
    const auto unit = std::make_shared<TestUnit>();
    EXPECT_EQ(unit->componentDescription(), test::kTestDescription);
    ASSERT_NE(unit->component(), nullptr);
    EXPECT_EQ(unit->componentName(), "Test Maker: Test Unit");
    EXPECT_EQ(unit->audioUnitName(), "Test Unit");
    EXPECT_EQ(unit->manufacturerName(), "Test Maker");
    EXPECT_EQ(unit->componentVersion(), 0x00020003u);
    EXPECT_EQ(unit->audioUnitShortName(), std::nullopt);

    const auto stranger = std::make_shared<TestUnit>(AudioComponentDescription{
        fourCharCode("aufx"), fourCharCode("none"), fourCharCode("Nobd"), 0, 0});
    EXPECT_EQ(stranger->component(), nullptr);
    EXPECT_EQ(stranger->componentName(), std::nullopt);
    EXPECT_EQ(stranger->audioUnitName(), std::nullopt);
    EXPECT_EQ(stranger->componentVersion(), 0u);
}

TEST_F(AudioUnitBase, LifeCycleAllowsReallocationAndReportsMisuseBeforeInitialisation) {
    MisuseRecorder misuse;
    const auto early = std::make_shared<TestUnit>(test::kTestDescription, false);
    EXPECT_EQ(early->lifeCycle(), AUAudioUnit::LifeCycle::constructed);
    early->allocateRenderResources();
    early->reset();
    early->deallocateRenderResources();
    EXPECT_EQ(MisuseRecorder::messages().size(), 3u);
    EXPECT_FALSE(early->renderResourcesAllocated());
    early->finishInit(test::kTestDescription);
    early->finishInit(test::kTestDescription); // a second initialisation is misuse too
    EXPECT_EQ(MisuseRecorder::messages().size(), 4u);

    const auto unit = std::make_shared<TestUnit>();
    EXPECT_EQ(unit->lifeCycle(), AUAudioUnit::LifeCycle::initialized);
    unit->allocateRenderResources();
    unit->allocateRenderResources();
    EXPECT_EQ(unit->lifeCycle(), AUAudioUnit::LifeCycle::allocated);
    unit->reset();
    EXPECT_TRUE(unit->renderResourcesAllocated());
    unit->deallocateRenderResources();
    unit->deallocateRenderResources();
    EXPECT_EQ(unit->lifeCycle(), AUAudioUnit::LifeCycle::initialized);
    EXPECT_EQ(MisuseRecorder::messages().size(), 4u);

    {
        RenderThreadScope renderThread;
        unit->allocateRenderResources();
    }
    EXPECT_EQ(MisuseRecorder::messages().size(), 5u);
    EXPECT_FALSE(unit->renderResourcesAllocated());
}

TEST_F(AudioUnitBase, RenderBlockAnswersStatusesInsteadOfRenderingOutsideTheAllocation) {
    auto unit = std::make_shared<TestUnit>();
    const auto block = unit->renderBlock();
    Stereo io;
    EXPECT_EQ(renderOnce(block, io, 64), kAudioUnitErr_Uninitialized);
    EXPECT_EQ(unit->probe()->cycles.load(), 0);

    unit->setMaximumFramesToRender(32);
    unit->allocateRenderResources();
    EXPECT_EQ(renderOnce(block, io, 33), kAudioUnitErr_TooManyFramesToProcess);
    AudioUnitRenderActionFlags flags = 0;
    EXPECT_EQ(block(&flags, &io.time, 32, 0, nullptr, nullptr), kAudio_ParamError);
    EXPECT_EQ(block(&flags, nullptr, 32, 0, &io.list, nullptr), kAudio_ParamError);
    EXPECT_EQ(unit->probe()->cycles.load(), 0);

    EXPECT_EQ(renderOnce(block, io, 32), noErr);
    EXPECT_EQ(io.left[0], 1.0f);
    EXPECT_EQ(io.right[31], 1.0f);
    EXPECT_EQ(io.left[32], 0.0f);
    EXPECT_TRUE(unit->probe()->sawRenderThread.load());
    EXPECT_TRUE(unit->probe()->sawFlushing.load());
    EXPECT_FALSE(isRenderThread());

    unit->deallocateRenderResources();
    EXPECT_EQ(renderOnce(block, io, 32), kAudioUnitErr_Uninitialized);
    EXPECT_EQ(unit->probe()->cycles.load(), 1);
    unit->allocateRenderResources();
    unit.reset(); // a host may keep the block longer than the unit
    EXPECT_EQ(renderOnce(block, io, 16), kAudioUnitErr_Uninitialized);
}

TEST_F(AudioUnitBase, BaseInternalRenderBlockHasNoConnection) {
    struct Bare final : AUAudioUnit {
        Bare() { initWithComponentDescription(test::kTestDescription); }
    };
    const auto unit = std::make_shared<Bare>();
    unit->allocateRenderResources();
    Stereo io;
    EXPECT_EQ(renderOnce(unit->renderBlock(), io, 8), kAudioUnitErr_NoConnection);
    EXPECT_EQ(unit->inputBusses()->count(), 0u);
    EXPECT_EQ(unit->outputBusses()->busType(), AUAudioUnitBusType::AUAudioUnitBusTypeOutput);
}

TEST_F(AudioUnitBase, BusFormatsAreValidatedAndFrozenWhileAllocated) {
    const auto unit = std::make_shared<TestUnit>();
    const auto bus = (*unit->outputBusses())[0];
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->busType(), AUAudioUnitBusType::AUAudioUnitBusTypeOutput);
    EXPECT_EQ(bus->index(), 0u);
    EXPECT_EQ(bus->ownerAudioUnit(), unit.get());
    EXPECT_EQ(unit->outputBusses()->ownerAudioUnit(), unit.get());
    EXPECT_EQ((*unit->outputBusses())[1], nullptr);

    const auto interleaved = std::make_shared<AVAudioFormat>(
        48000.0, 2, AVAudioCommonFormat::AVAudioPCMFormatFloat32, true);
    const auto int16 = std::make_shared<AVAudioFormat>(
        48000.0, 2, AVAudioCommonFormat::AVAudioPCMFormatInt16, false);
    const auto badRate = std::make_shared<AVAudioFormat>(
        0.0, 2, AVAudioCommonFormat::AVAudioPCMFormatFloat32, false);
    EXPECT_EQ(bus->setFormat(interleaved), kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(bus->setFormat(int16), kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(bus->setFormat(badRate), kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(bus->setFormat(nullptr), kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(bus->format()->channelCount(), 2u);

    unit->allocateRenderResources();
    EXPECT_EQ(bus->setFormat(AVAudioFormat::standardFormatWithSampleRate(48000.0, 1)),
              kAudioUnitErr_Initialized);
    EXPECT_EQ(bus->setFormat(AVAudioFormat::standardFormatWithSampleRate(48000.0, 2)), noErr);
    unit->deallocateRenderResources();
    EXPECT_EQ(bus->setFormat(AVAudioFormat::standardFormatWithSampleRate(48000.0, 1)), noErr);
    EXPECT_EQ(bus->format()->channelCount(), 1u);
}

TEST_F(AudioUnitBase, TheOwningUnitMayRefuseAFormatItsBusWouldCarry) {
    struct MonoOnly final : AUAudioUnit {
        MonoOnly() {
            busses = AUAudioUnitBusArray::make(
                ownerAnchor(), AUAudioUnitBusType::AUAudioUnitBusTypeInput,
                {AUAudioUnitBus::initWithFormat(
                    AVAudioFormat::standardFormatWithSampleRate(48000.0, 1))});
            initWithComponentDescription(test::kTestDescription);
        }
        std::shared_ptr<AUAudioUnitBusArray> inputBusses() override { return busses; }
        bool shouldChangeToFormat(const AVAudioFormat& format, const AUAudioUnitBus&) override {
            return format.channelCount() == 1;
        }
        std::shared_ptr<AUAudioUnitBusArray> busses;
    };
    const auto unit = std::make_shared<MonoOnly>();
    const auto bus = (*unit->inputBusses())[0];
    EXPECT_EQ(bus->setFormat(AVAudioFormat::standardFormatWithSampleRate(48000.0, 2)),
              kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(bus->setFormat(AVAudioFormat::standardFormatWithSampleRate(96000.0, 1)), noErr);
    EXPECT_EQ(bus->format()->sampleRate(), 96000.0);
}

TEST_F(AudioUnitBase, BusesForgetTheirOwnerWhenItGoes) {
    std::shared_ptr<AUAudioUnitBus> bus;
    std::shared_ptr<AUAudioUnitBusArray> array;
    {
        const auto unit = std::make_shared<TestUnit>();
        unit->allocateRenderResources();
        array = unit->inputBusses();
        bus = (*array)[0];
    }
    EXPECT_EQ(bus->ownerAudioUnit(), nullptr);
    EXPECT_EQ(array->ownerAudioUnit(), nullptr);
    // No owner, so nothing holds the format any more.
    EXPECT_EQ(bus->setFormat(AVAudioFormat::standardFormatWithSampleRate(96000.0, 1)), noErr);
}

TEST_F(AudioUnitBase, BaseFullStateCarriesTheParameterValuesAcrossUnits) {
    const auto source = std::make_shared<TestUnit>();
    source->parameterTree()->parameterWithAddress(0)->setValue(0.625f);
    source->parameterTree()->parameterWithAddress(7)->setValue(-0.125f);
    const auto state = source->fullState();
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->find("subtype")->integer(), fourCharCode("tst1"));

    const auto target = std::make_shared<TestUnit>();
    auto edited = *state;
    edited.find("data")->dictionary()->set("99", PlistValue(1.0)); // unknown address: ignored
    edited.find("data")->dictionary()->set("x7", PlistValue(1.0)); // not an address: ignored
    target->setFullState(edited);
    EXPECT_EQ(target->parameterTree()->parameterWithAddress(0)->value(), 0.625f);
    EXPECT_EQ(target->parameterTree()->parameterWithAddress(7)->value(), -0.125f);
    target->setFullState(std::nullopt); // nothing to apply
    EXPECT_EQ(target->storedA(), 0.625f);

    try {
        (void)target->presetState(AUAudioUnitPreset("Missing", 0));
        FAIL() << "a preset state without a file";
    } catch (const NSErrorException& e) {
        EXPECT_EQ(e.error().code(), kAudioUnitErr_InvalidFilePath);
    }
}

TEST_F(AudioUnitBase, ViewControllerRequestsCompleteOnTheMainQueue) {
    RunLoop::claimMainThread();
    const auto unit = std::make_shared<TestUnit>();
    int answers = 0;
    bool gotNull = false;
    unit->requestViewController([&](std::shared_ptr<UIViewController> vc) {
        ++answers;
        gotNull = vc == nullptr;
    });
    EXPECT_EQ(answers, 0); // not synchronously
    RunLoop::main().drainQueue();
    EXPECT_EQ(answers, 1);
    EXPECT_TRUE(gotNull);

    int provided = 0;
    unit->setViewControllerProvider([&](AUViewControllerCompletion completion) {
        ++provided;
        completion(nullptr);
    });
    unit->requestViewController([&](std::shared_ptr<UIViewController>) { ++answers; });
    EXPECT_EQ(provided, 1);
    EXPECT_EQ(answers, 2);
}

} // namespace
} // namespace pf
