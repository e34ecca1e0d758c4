// The parameter tree: a removed observer hears nothing more, even when it removes itself while
// being notified.
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "audio/AUParameters.h"

namespace pf {
namespace {

constexpr auto kRW = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable;

std::shared_ptr<AUParameter> makeParameter(const char* id, AUParameterAddress address) {
    return AUParameterTree::createParameter(id, std::string(id) + " name", address, 0, 1,
                                            kAudioUnitParameterUnit_Generic, std::nullopt, kRW,
                                            std::nullopt, std::nullopt);
}

// root ─ a(0) ─ group g1 { b(1), group g2 { c(2) } } ─ d(3)
std::shared_ptr<AUParameterTree> makeNestedTree() {
    auto g2 = AUParameterTree::createGroup("g2", "Group 2", {makeParameter("c", 2)});
    auto g1 = AUParameterTree::createGroup("g1", "Group 1", {makeParameter("b", 1), g2});
    return AUParameterTree::createTree({makeParameter("a", 0), g1, makeParameter("d", 3)});
}

TEST(ParameterTree, ARemovedObserverHearsNothingEvenFromWithinItsOwnNotification) {
    const auto tree = makeNestedTree();
    int first = 0, second = 0, self = 0;
    const auto t1 =
        tree->tokenByAddingParameterObserver([&](AUParameterAddress, AUValue) { ++first; });
    tree->tokenByAddingParameterObserver([&](AUParameterAddress, AUValue) { ++second; });
    AUParameterObserverToken token = 0;
    token = tree->tokenByAddingParameterObserver([&](AUParameterAddress, AUValue) {
        ++self;
        tree->removeParameterObserver(token);
    });
    tree->parameterWithAddress(0)->setValue(0.1f);
    tree->removeParameterObserver(t1);
    tree->removeParameterObserver(t1);     // a second removal is harmless
    tree->removeParameterObserver(987654); // so is an unknown token
    tree->parameterWithAddress(0)->setValue(0.2f);
    EXPECT_EQ(std::make_tuple(first, second, self), std::make_tuple(1, 2, 1));
}

} // namespace
} // namespace pf
