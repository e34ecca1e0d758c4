// The parameter tree: the value flow through implementor callbacks and token observers.
#include <thread>
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

TEST(ParameterTree, ReadsComeFromTheNearestProviderAndWritesGoToTheNearestObserver) {
    const auto tree = makeNestedTree();
    std::vector<std::pair<AUParameterAddress, AUValue>> rootWrites;
    std::vector<std::pair<AUParameterAddress, AUValue>> groupWrites;
    tree->setImplementorValueObserver(
        [&](AUParameter& p, AUValue v) { rootWrites.emplace_back(p.address(), v); });
    tree->setImplementorValueProvider([](AUParameter& p) { return 10.0f + float(p.address()); });
    auto g2 = std::static_pointer_cast<AUParameterGroup>(
        std::static_pointer_cast<AUParameterGroup>(tree->children()[1])->children()[1]);
    g2->setImplementorValueObserver(
        [&](AUParameter& p, AUValue v) { groupWrites.emplace_back(p.address(), v); });
    g2->setImplementorValueProvider([](AUParameter&) { return -1.0f; });

    tree->parameterWithAddress(1)->setValue(0.5f);
    tree->parameterWithAddress(2)->setValue(0.75f);

    EXPECT_EQ(rootWrites, (std::vector<std::pair<AUParameterAddress, AUValue>>{{1, 0.5f}}));
    EXPECT_EQ(groupWrites, (std::vector<std::pair<AUParameterAddress, AUValue>>{{2, 0.75f}}));
    // The provider answers, not the value last set.
    EXPECT_EQ(tree->parameterWithAddress(1)->value(), 11.0f);
    EXPECT_EQ(tree->parameterWithAddress(2)->value(), -1.0f);
}

TEST(ParameterTree, EverySetNotifiesEachTokenObserverOnceOnTheSettingThread) {
    const auto tree = makeNestedTree();
    int implementorCalls = 0;
    tree->setImplementorValueObserver([&](AUParameter&, AUValue) { ++implementorCalls; });
    // observer, address, value, heard on the setting thread
    using Heard = std::tuple<int, AUParameterAddress, AUValue, bool>;
    std::vector<Heard> heard;
    std::thread::id setter;
    const auto record = [&](int which) {
        return [&, which](AUParameterAddress a, AUValue v) {
            heard.emplace_back(which, a, v, std::this_thread::get_id() == setter);
        };
    };
    tree->tokenByAddingParameterObserver(record(1));
    tree->tokenByAddingParameterObserver(record(2));
    tree->parameterWithAddress(3)->tokenByAddingParameterObserver(record(3));
    std::thread([&] {
        setter = std::this_thread::get_id();
        tree->parameterWithAddress(3)->setValue(0.125f);
    }).join();
    // The parameter's own observer first, then the tree's in the order they were added.
    EXPECT_EQ(heard, (std::vector<Heard>{
                         {3, 3, 0.125f, true}, {1, 3, 0.125f, true}, {2, 3, 0.125f, true}}));
    EXPECT_EQ(implementorCalls, 1);
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
