// The panel's controls from the user's side: a drag or a click on a control sets that control's
// parameter on the real unit and no other, and whatever sets a parameter (the host, a preset, a
// restored state) is drawn on its control.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <limits>

#include "IfaceHarness.h"
#include "OrvexPreset.h"
#include "UnitTestSupport.h"

using namespace ifacetest;

namespace {

using Values = std::array<float, 12>;

Values treeValues(Unit& unit) {
    Values v{};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = unit.parameterTree()->parameterWithAddress(i)->value();
    return v;
}
void setAll(Unit& unit, const Values& v) {
    for (std::size_t i = 0; i < v.size(); ++i)
        unit.parameterTree()->parameterWithAddress(i)->setValue(v[i]);
}

// Every parameter but `address` as it was; `address` (the tree and the kernel) at `expected`.
::testing::AssertionResult setOnly(Unit& unit, const Values& before, int address, float expected) {
    const Values now = treeValues(unit);
    for (int i = 0; i < 12; ++i) {
        const float want = i == address ? expected : before[i];
        if (std::fabs(now[i] - want) > 1e-6f || unit.getParameter(i) != now[i])
            return ::testing::AssertionFailure()
                   << "parameter " << i << " is " << now[i] << " (kernel " << unit.getParameter(i)
                   << "), expected " << want;
    }
    return ::testing::AssertionSuccess();
}

// The mode button's label, told by the width of its ink (design units).
std::string modeLabel(const Harness& h, const pf::ImageSurface& img) {
    double left = 1e9, right = -1e9;
    for (double y = 68; y < 82; y += 0.5)
        for (double x = 234; x < 280; x += 0.5)
            if (grey(h.pixel(img, {x, y}))) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    const std::pair<const char*, double> labels[] = {{"dual", 17}, {"linked", 24.5}, {"m/s", 14}};
    for (const auto& [label, width] : labels)
        if (std::fabs(right - left - width) <= 1.5) return label;
    return "a label " + std::to_string(right - left) + " wide";
}

// What the buttons show: the mode button's label, then each of bypass and audition drawn lit.
std::string buttonsShown(const Harness& h, const pf::ImageSurface& img) {
    std::string shown = modeLabel(h, img);
    for (const Control* button : {&kBypass, &kAudition}) {
        int n = 0;
        for (double y = -16; y < 16; y += 0.5)
            for (double x = -40; x < 40; x += 0.5)
                n += red(h.pixel(img, {button->at.x + x, button->at.y + y})) ? 1 : 0;
        if (n > 100) shown += std::string(" ") + button->name;
    }
    return shown;
}

class Controls : public ::testing::Test {
protected:
    Harness h;
    std::shared_ptr<Unit> unit = h.open(makeUnit());
};

} // namespace

// Each knob, dragged with the mouse: up or right raises it, down or left lowers it, a whole
// turn for 400 points on a panel shown at twice its size. The knob holds the touch, so the panel
// itself stays where it is.
TEST_F(Controls, EachKnobDraggedSetsItsOwnParameterOnlyAndPointsAtTheNewValue) {
    const pf::CGRect placed = h.controller->pluginView->frame();
    const struct {
        CGPoint drag;
        float value; // from the unit's defaults 0.1, 0.5, 0.8, 0.5, 0.5, 1
        double degrees;
    } rows[] = {{{0, -60}, 0.25f, -72.5}, {{0, 60}, 0.35f, -43.5},  {{0, 60}, 0.65f, 43.5},
                {{60, 0}, 0.65f, 43.5},   {{-60, 0}, 0.35f, -43.5}, {{0, 100}, 0.75f, 72.5}};
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(kKnobs[k].name);
        const Values before = treeValues(*unit);
        h.drag(h.at(kKnobs[k].at), rows[k].drag);
        EXPECT_TRUE(setOnly(*unit, before, kKnobs[k].address, rows[k].value));
        EXPECT_NEAR(h.pointer(h.shown(), kKnobs[k]), rows[k].degrees, 3);
    }
    EXPECT_EQ(h.controller->pluginView->frame(), placed);
}

// At every size the plug-in's area gives the panel (the design size itself after another
// included), a click lands on the control under the pointer, and a knob turns by the same share
// of its range for the same drag on the panel.
TEST_F(Controls, ClicksAndDragsHitTheirControlsAtEverySizeOfThePanel) {
    const double widths[] = {768, 512, 1024, 512};
    double up = 1;
    for (const double w : widths) {
        SCOPED_TRACE(w);
        up = -up;
        h.resize(w, w * 0.6640625);
        const Values before = treeValues(*unit);
        h.tap(h.at(kBypass.at));
        EXPECT_TRUE(setOnly(*unit, before, 7, before[7] == 0 ? 1 : 0));
        h.drag(h.at(kKnobs[1].at), {0, 30 * up * w / 512}); // 30 design units up or down
        EXPECT_NEAR(unit->parameterTree()->parameterWithAddress(1)->value(), before[1] - 0.15f * up,
                    1e-6);
    }
}

// A click anywhere on bypass or audition toggles it, drawn lit while on; the mode button steps
// through the three detector modes and names each.
TEST_F(Controls, EachButtonClickedSetsItsOwnParameterOnlyAndShowsIt) {
    const struct {
        const Control& button;
        double dx; // from the button's centre, design units
        float value;
        const char* shown;
    } clicks[] = {{kBypass, -36, 1, "dual bypass"},
                  {kBypass, 38, 0, "dual"},
                  {kAudition, -36, 1, "dual audition"},
                  {kAudition, 38, 0, "dual"},
                  {kMode, -24, 1, "linked"},
                  {kMode, 24, 2, "m/s"},
                  {kMode, 0, 0, "dual"}};
    for (const auto& c : clicks) {
        SCOPED_TRACE(std::string(c.button.name) + " to " + std::to_string(c.value));
        const Values before = treeValues(*unit);
        h.tap(h.at({c.button.at.x + c.dx, c.button.at.y}));
        EXPECT_TRUE(setOnly(*unit, before, c.button.address, c.value));
        EXPECT_EQ(buttonsShown(h, h.shown()), c.shown);
    }
}

// The host, a factory preset and a restored state each set every control of the panel; each
// control then shows its own value (distinct values, so a value drawn on another control shows).
TEST_F(Controls, ValuesFromTheHostAPresetOrARestoredStateAreDrawnOnTheirOwnControls) {
    unittest::TemporaryBundle bundle;
    const auto presets = bundle.makePresetFolder();
    const auto source = makeUnit();
    int files = 0;
    const std::pair<const char*, std::function<void(const Values&)>> sources[] = {
        {"the host", [&](const Values& v) { setAll(*unit, v); }},
        {"a preset",
         [&](const Values& v) {
             setAll(*source, v);
             OrvexPreset writer;
             writer.makeFrom(source->parameterTree());
             const std::string name = "Preset " + std::to_string(files++);
             ASSERT_TRUE(
                 writer.save(pf::URL::fileURLWithPath((presets / (name + ".plist")).string())));
             const auto listed = unit->factoryPresets();
             for (const auto& preset : *listed)
                 if (preset->name == name) unit->setCurrentPreset(preset);
         }},
        {"a restored state",
         [&](const Values& v) {
             setAll(*source, v);
             unit->setFullState(source->fullState());
         }},
    };
    const struct {
        Values values;
        double degrees[6];
        const char* buttons;
    } settings[] = {
        {{0.3f, 0.7f, 0.2f, 0.9f, 0.4f, 0.6f, 2, 1, 1, 0, 1, 1},
         {-58, 58, -87, 116, -29, 29},
         "m/s bypass audition"},
        {{0.9f, 0.1f, 0.6f, 0.3f, 0.8f, 0.15f, 1, 0, 0, 0, 1, 0},
         {116, -116, 29, -58, 87, -101.5},
         "linked"},
    };
    for (const auto& [from, apply] : sources) {
        for (const auto& s : settings) {
            SCOPED_TRACE(std::string(from) + ": " + s.buttons);
            apply(s.values);
            h.drain();
            const pf::ImageSurface img = h.shown();
            for (int k = 0; k < 6; ++k)
                EXPECT_NEAR(h.pointer(img, kKnobs[k]), s.degrees[k], 3) << kKnobs[k].name;
            EXPECT_EQ(buttonsShown(h, img), s.buttons);
        }
    }
}

// The value under each knob: its hundredfold, halves away from zero; non-finite or huge values
// (which used to trap in the integer conversion) give an empty text.
TEST(KnobValueText, RoundsHalvesAwayFromZeroAndGivesNothingForUnprintableValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> rows[] = {{0.125, "13"}, {-0.125, "-13"},
                                                   {0, "0"},      {1.2, "120"},
                                                   {0.7f, "70"},  {9.2e16, "9200000000000000000"},
                                                   {1e17, ""},    {std::nan(""), ""},
                                                   {inf, ""},     {-inf, ""}};
    for (const auto& [value, text] : rows)
        EXPECT_EQ(panel::knobValueText(value), text) << value;
}
