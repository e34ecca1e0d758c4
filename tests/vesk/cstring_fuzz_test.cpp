// A bounded, seeded random driver: arbitrary bytes and operations on CString, each checked
// against a std::string model of the documented behaviour. Run under the sanitizer build it
// doubles as a memory-safety fuzzer; the seeds keep every failure reproducible.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Vesk/Vesk.h"
#include "vesk_test_support.h"

namespace {

using Vesk::CString;
using Vesk::CStringList;

using vesk_test::text;
std::string upToNul(const std::string& s) {
    return s.substr(0, s.find('\0'));
}

// The operations the driver picks from.
constexpr int kOps[] = {0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 15, 17};

class Driver {
public:
    explicit Driver(std::uint32_t seed) : rng_(seed) {}

    void run(int steps) {
        for (int step = 0; step < steps; ++step) {
            const int op = kOps[pick(0, static_cast<int>(std::size(kOps)) - 1)];
            SCOPED_TRACE(testing::Message()
                         << "step " << step << " op " << op << " model '" << model_ << "'");
            apply(op);
            checkInvariants();
            if (testing::Test::HasFatalFailure() || testing::Test::HasNonfatalFailure()) return;
            if (model_.size() > 3000) {
                model_.resize(100);
                s_ = CString();
                for (char c : model_)
                    s_ += c;
            }
        }
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    // Texts without a terminator inside; a small alphabet so that matches are frequent.
    std::string randomText(int maxLength) {
        static constexpr char alphabet[] = "ab, \t\n\r\xFF"
                                           "A1z_";
        std::string t(static_cast<std::size_t>(pick(0, maxLength)), 'a');
        for (char& c : t)
            c = pick(0, 9) == 0 ? static_cast<char>(pick(1, 255))
                                : alphabet[pick(0, static_cast<int>(sizeof alphabet) - 2)];
        return t;
    }

    void apply(int op) {
        switch (op) {
        case 0: {
            model_ = randomText(40);
            s_ = model_.c_str();
            break;
        }
        case 1: {
            const std::string t = randomText(12);
            s_ += t.c_str();
            model_ += t;
            break;
        }
        case 2: {
            const char c = static_cast<char>(pick(0, 255));
            s_ += c;
            model_ += c;
            break;
        }
        case 3: {
            const int n = pick(-3, static_cast<int>(model_.size()) + 3);
            s_ -= n;
            if (n >= static_cast<int>(model_.size()))
                model_.clear();
            else if (n > 0)
                model_.resize(model_.size() - static_cast<std::size_t>(n));
            break;
        }
        case 4: {
            const std::string old = randomText(3);
            const bool any = pick(0, 3) != 0;
            const std::string neu = randomText(4);
            const int start = pick(-2, static_cast<int>(model_.size()) + 2);
            const bool all = pick(0, 1) == 1;
            const bool expected = modelReplace(old, any ? neu.c_str() : nullptr, start, all);
            EXPECT_EQ(s_.Replace(old.c_str(), any ? neu.c_str() : nullptr, start, all), expected);
            break;
        }
        case 5: {
            const std::string t = randomText(5);
            const int pos = pick(-2, static_cast<int>(model_.size()) + 2);
            const bool inserts = !t.empty() && pos >= 0 && pos < static_cast<int>(model_.size());
            if (inserts) model_.insert(static_cast<std::size_t>(pos), t);
            EXPECT_EQ(s_.Insert(pos, t.c_str()), inserts);
            break;
        }
        case 6: {
            const int start = pick(-2, static_cast<int>(model_.size()) + 2);
            const int count = pick(-3, 20);
            const char* sub = s_.SubStr(start, count);
            if (model_.empty() || count <= 0 || start < 0 ||
                start >= static_cast<int>(model_.size())) {
                EXPECT_EQ(sub, nullptr);
            } else {
                const std::string want =
                    model_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count));
                ASSERT_NE(sub, nullptr);
                EXPECT_EQ(std::memcmp(sub, want.data(), want.size()), 0);
                EXPECT_EQ(sub[want.size()], '\0');
            }
            break;
        }
        case 7: {
            const std::string t = randomText(3);
            const int start = pick(-3, static_cast<int>(model_.size()) + 3);
            int expected = -1;
            if (!model_.empty() && !t.empty()) {
                const std::size_t at = model_.find(t, static_cast<std::size_t>(std::max(start, 0)));
                if (at != std::string::npos) expected = static_cast<int>(at);
            }
            EXPECT_EQ(s_.Find(t.c_str(), start), expected);
            break;
        }
        case 10: {
            const std::string sep = randomText(2);
            const int max = pick(-1, 4);
            const int start = pick(-2, static_cast<int>(model_.size()) + 2);
            CStringList list;
            list.Append(strdup("seed"));
            const std::vector<std::string> want = modelSplit(sep, max, start, {"seed"});
            const int got = s_.Split(sep.c_str(), &list, max, start);
            if (model_.empty()) {
                EXPECT_EQ(got, -1);
                break;
            }
            ASSERT_EQ(got, static_cast<int>(want.size()));
            for (int i = 0; i < got; ++i)
                EXPECT_EQ(std::string(list[i]), upToNul(want[static_cast<std::size_t>(i)]));
            break;
        }
        case 11: {
            const std::string t = randomText(6);
            const CString other(t.c_str());
            CString& r = pick(0, 1) ? s_ + other : s_ + t.c_str();
            if (!t.empty()) {
                EXPECT_EQ(text(r), model_ + t);
            }
            const int n = model_.size() < 200 ? pick(-1, 4) : 1;
            CString& times = r * n;
            std::string want = t.empty() ? model_ : model_ + t;
            if (n >= 2) {
                std::string one = want;
                for (int i = 1; i < n; ++i)
                    want += one;
            }
            EXPECT_EQ(text(times), want);
            const int cut = pick(-1, static_cast<int>(want.size()) + 1);
            CString& shorter = times - cut;
            if (cut >= static_cast<int>(want.size()))
                want.clear();
            else if (cut > 0)
                want.resize(want.size() - static_cast<std::size_t>(cut));
            EXPECT_EQ(text(shorter), want);
            if (pick(0, 2) == 0) {
                s_ = shorter;
                model_ = want;
            }
            break;
        }
        case 15: {
            if (model_.empty()) break;
            const int from = pick(0, static_cast<int>(model_.size()) - 1);
            s_ = s_.c_str() + from; // from the string's own buffer
            model_ = upToNul(model_.substr(static_cast<std::size_t>(from)));
            break;
        }
        case 17: {
            const int i = pick(-2, static_cast<int>(model_.size()) + 2);
            const char c = static_cast<char>(pick(0, 255));
            s_[i] = c;
            if (i >= 0 && i < static_cast<int>(model_.size()))
                model_[static_cast<std::size_t>(i)] = c;
            EXPECT_EQ(s_.At(i), i >= 0 && i < static_cast<int>(model_.size())
                                    ? static_cast<signed char>(model_[static_cast<std::size_t>(i)])
                                    : 0);
            break;
        }
        }
    }

    // Replace as documented: each later occurrence is searched after the inserted text.
    bool modelReplace(const std::string& old, const char* neu, int start, bool all) {
        if (model_.empty()) return false;
        if (neu != nullptr && old == neu) return false;
        const std::string with = neu != nullptr ? neu : "";
        std::size_t from = static_cast<std::size_t>(std::max(start, 0));
        if (old.empty() || from >= model_.size()) return false;
        std::size_t at = model_.find(old, from);
        if (at == std::string::npos) return false;
        while (at != std::string::npos) {
            model_.replace(at, old.size(), with);
            if (!all) break;
            from = at + with.size();
            at = from < model_.size() ? model_.find(old, from) : std::string::npos;
        }
        return true;
    }

    std::vector<std::string> modelSplit(const std::string& sep, int max, int start,
                                        std::vector<std::string> list) const {
        if (start <= 0) {
            start = 0;
            list.clear();
        }
        std::size_t from = static_cast<std::size_t>(start);
        while (from < model_.size()) {
            const std::size_t at = sep.empty() ? std::string::npos : model_.find(sep, from);
            const std::size_t end = at == std::string::npos ? model_.size() : at;
            if (end > from) {
                list.push_back(model_.substr(from, end - from));
                if (max >= 1 && static_cast<int>(list.size()) >= max) break;
            }
            if (at == std::string::npos) break;
            from = at + sep.size();
        }
        return list;
    }

    void checkInvariants() {
        ASSERT_EQ(text(s_), model_);
        ASSERT_EQ(s_.Empty(), model_.empty());
        if (model_.empty()) {
            ASSERT_STREQ(s_.c_str(), "(null*)");
        } else {
            ASSERT_EQ(s_.c_str()[model_.size()], '\0');
            ASSERT_EQ(s_.DataSize(), (model_.size() + 4) / 4 * 4);
        }
    }

    std::mt19937 rng_;
    CString s_;
    std::string model_;
};

TEST(CStringFuzz, RandomOperationsMatchTheModelAndStayInBounds) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        Driver driver(seed);
        driver.run(5000);
        if (HasFailure()) return;
    }
}

} // namespace
