#include <gtest/gtest.h>

#include "IfaceHarness.h"

using namespace ifacetest;

TEST(ParameterDump, AMissingAddressIsReportedAndReadsAsZero) {
    Harness h;
    h.show();
    h.controller->setAudioUnit(makeUnit());
    h.drain();
    h.console.clear();
    EXPECT_EQ(h.controller->getParameter(42), 0.0f);
    h.controller->setParameter(-1, 0.5f);
    EXPECT_EQ(h.lines(),
              (std::vector<std::string>{
                  "AudioUnitViewController: ERROR: The parameter address 42 is not available.",
                  "AudioUnitViewController: ERROR: The parameter address -1 is not available."}));
}
