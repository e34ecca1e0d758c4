// The parameter tree: structure, addresses, and the value flow through implementor callbacks and
// token observers.
#include <atomic>
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

std::vector<AUParameterAddress> addresses(const std::vector<std::shared_ptr<AUParameter>>& list) {
    std::vector<AUParameterAddress> result;
    for (const auto& p : list)
        result.push_back(p->address());
    return result;
}

TEST(ParameterTree, AllParametersIsDepthFirstInChildOrderAndAddressesFindTheirParameters) {
    const auto tree = makeNestedTree();
    EXPECT_EQ(addresses(tree->allParameters()), (std::vector<AUParameterAddress>{0, 1, 2, 3}));
    ASSERT_EQ(tree->children().size(), 3u);
    EXPECT_TRUE(tree->children()[1]->isGroup());
    EXPECT_FALSE(tree->children()[0]->isGroup());

    const auto c = tree->parameterWithAddress(2);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->identifier(), "c");
    EXPECT_EQ(c->displayName(), "c name");
    EXPECT_EQ(c->keyPath(), "g1.g2.c");
    EXPECT_EQ(tree->parameterWithAddress(4), nullptr);
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

    struct Heard {
        AUParameterAddress address;
        AUValue value;
        std::thread::id thread;
        int observer;
    };
    std::vector<Heard> heard;
    const auto record = [&heard](int which) {
        return [&heard, which](AUParameterAddress a, AUValue v) {
            heard.push_back({a, v, std::this_thread::get_id(), which});
        };
    };
    tree->tokenByAddingParameterObserver(record(1));
    tree->tokenByAddingParameterObserver(record(2));
    tree->parameterWithAddress(3)->tokenByAddingParameterObserver(record(3));

    std::thread::id setter;
    std::thread([&] {
        setter = std::this_thread::get_id();
        tree->parameterWithAddress(3)->setValue(0.125f);
    }).join();

    ASSERT_EQ(heard.size(), 3u);
    // The parameter's own observer first, then the tree's in the order they were added.
    EXPECT_EQ(heard[0].observer, 3);
    EXPECT_EQ(heard[1].observer, 1);
    EXPECT_EQ(heard[2].observer, 2);
    for (const auto& h : heard) {
        EXPECT_EQ(h.address, 3u);
        EXPECT_EQ(h.value, 0.125f);
        EXPECT_EQ(h.thread, setter);
    }
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

TEST(ParameterTree, StringFromValueUsesTheCallbackOrTheShortestText) {
    const auto tree = makeNestedTree();
    const auto p = tree->parameterWithAddress(1);
    p->setValue(0.5f);
    EXPECT_EQ(p->stringFromValue(), "0.5");
    const AUValue given = 0.1f;
    EXPECT_EQ(p->stringFromValue(&given), "0.1");

    tree->setImplementorStringFromValueCallback([](AUParameter& param, const AUValue* v) {
        return param.identifier() + "=" + std::to_string(v ? *v : param.value());
    });
    EXPECT_EQ(p->stringFromValue(&given), "b=0.100000");
    EXPECT_EQ(p->stringFromValue(), "b=0.500000");
}

TEST(ParameterTree, ConcurrentSettersAndObserverChangesStayConsistent) {
    const auto tree = makeNestedTree();
    std::atomic<int> notified{0};
    std::atomic<int> stored{0};
    tree->setImplementorValueObserver([&](AUParameter&, AUValue) { stored.fetch_add(1); });
    tree->tokenByAddingParameterObserver(
        [&](AUParameterAddress, AUValue) { notified.fetch_add(1); });
    constexpr int kSets = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kSets; ++i)
                tree->parameterWithAddress(t)->setValue(float(i));
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < 500; ++i) {
            tree->removeParameterObserver(
                tree->tokenByAddingParameterObserver([](AUParameterAddress, AUValue) {}));
        }
    });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(stored.load(), 3 * kSets);
    EXPECT_EQ(notified.load(), 3 * kSets);
}

} // namespace
} // namespace pf
