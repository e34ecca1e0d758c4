// The application's own files as built into its bundle. Play draws from 1.m4a … 80.m4a, so each
// must be there and decode, through the reader the player uses, to a few seconds of stereo sound
// that peaks just below full scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "audio/AVAudioFile.h"

TEST(BundledFiles, EachOfTheEightyDecodesToAFewSecondsOfStereoSoundPeakingBelowFullScale) {
    for (int n = 1; n <= 80; ++n) {
        SCOPED_TRACE(std::to_string(n) + ".m4a");
        std::shared_ptr<pf::AVAudioFile> file;
        ASSERT_NO_THROW(file = pf::AVAudioFile::forReading(pf::URL::fileURLWithPath(
                            std::string(ORVEX_APP_RESOURCES "/") + std::to_string(n) + ".m4a")));
        const auto& audio = *file->samples();
        ASSERT_EQ(audio.channels, 2u);
        EXPECT_TRUE(audio.sampleRate == 44100 || audio.sampleRate == 48000) << audio.sampleRate;
        const double seconds = double(audio.frameLength()) / audio.sampleRate;
        EXPECT_GE(seconds, 3.0);
        EXPECT_LE(seconds, 8.1);
        float peak = 0;
        for (const auto& channel : audio.samples)
            for (const float x : channel)
                peak = std::max(peak, std::fabs(x));
        EXPECT_GT(peak, 0.8f);
        EXPECT_LT(peak, 1.0f);
        EXPECT_NE(audio.samples[0], audio.samples[1]) << "two channels, not one copied";
    }
}
