// The audio-unit base class: life cycle and its statuses, the host's render block, buses and their
// formats, and the full state.
#include <gtest/gtest.h>

#include "TestUnit.h"

namespace pf {
namespace {

using test::TestUnit;

TEST(AudioUnitBase, RenderBlockAnswersStatusesInsteadOfRenderingOutsideTheAllocation) {
    auto unit = std::make_shared<TestUnit>();
    const auto block = unit->renderBlock();
    test::StereoCycle io;
    EXPECT_EQ(io.render(block, 0, 64), kAudioUnitErr_Uninitialized);
    EXPECT_EQ(unit->probe()->cycles.load(), 0);

    unit->setMaximumFramesToRender(32);
    unit->allocateRenderResources();
    EXPECT_EQ(io.render(block, 0, 33), kAudioUnitErr_TooManyFramesToProcess);
    AudioUnitRenderActionFlags flags = 0;
    EXPECT_EQ(block(&flags, &io.time, 32, 0, nullptr, nullptr), kAudio_ParamError);
    EXPECT_EQ(block(&flags, nullptr, 32, 0, &io.list, nullptr), kAudio_ParamError);
    EXPECT_EQ(unit->probe()->cycles.load(), 0);

    EXPECT_EQ(io.render(block, 0, 32), noErr);
    EXPECT_EQ(io.left[0], 1.0f);
    EXPECT_EQ(io.right[31], 1.0f);
    EXPECT_EQ(io.left[32], 0.0f);
    EXPECT_TRUE(unit->probe()->sawRenderThread.load());
    EXPECT_TRUE(unit->probe()->sawFlushing.load());
    EXPECT_FALSE(isRenderThread());

    unit->deallocateRenderResources();
    EXPECT_EQ(io.render(block, 0, 32), kAudioUnitErr_Uninitialized);
    EXPECT_EQ(unit->probe()->cycles.load(), 1);
    unit->allocateRenderResources();
    unit.reset(); // a host may keep the block longer than the unit
    EXPECT_EQ(io.render(block, 0, 16), kAudioUnitErr_Uninitialized);
}

TEST(AudioUnitBase, BusFormatsAreValidatedAndFrozenWhileAllocated) {
    const auto unit = std::make_shared<TestUnit>();
    const auto bus = (*unit->outputBusses())[0];
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->ownerAudioUnit(), unit.get());
    EXPECT_EQ((*unit->outputBusses())[1], nullptr);
    using Format = AVAudioCommonFormat;
    for (const auto& refused :
         {std::make_shared<AVAudioFormat>(48000.0, 2, Format::AVAudioPCMFormatFloat32, true),
          std::make_shared<AVAudioFormat>(48000.0, 2, Format::AVAudioPCMFormatInt16, false),
          std::make_shared<AVAudioFormat>(0.0, 2, Format::AVAudioPCMFormatFloat32, false),
          std::shared_ptr<AVAudioFormat>{}}) {
        EXPECT_EQ(bus->setFormat(refused), kAudioUnitErr_FormatNotSupported);
    }
    EXPECT_EQ(bus->format()->channelCount(), 2u);
    unit->allocateRenderResources();
    EXPECT_EQ(bus->setFormat(AVAudioFormat::standardFormatWithSampleRate(48000.0, 1)),
              kAudioUnitErr_Initialized);
    EXPECT_EQ(bus->setFormat(AVAudioFormat::standardFormatWithSampleRate(48000.0, 2)), noErr);
    unit->deallocateRenderResources();
    EXPECT_EQ(bus->setFormat(AVAudioFormat::standardFormatWithSampleRate(48000.0, 1)), noErr);
    EXPECT_EQ(bus->format()->channelCount(), 1u);
}

TEST(AudioUnitBase, BaseFullStateCarriesTheParameterValuesAcrossUnits) {
    // A registered component, so that a preset state is looked for among its files.
    static const auto component = AudioComponentRegistry::shared().registerComponent(
        test::kTestDescription, "Test Maker: Test Unit", 1, {});
    ASSERT_NE(component, nullptr);
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

} // namespace
} // namespace pf
