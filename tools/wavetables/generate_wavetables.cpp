// Writes the 66 single-cycle wavetables of 4096 floats (table_sine, table_tri, table_saw,
// table_sqr, table_03 … table_64) as a C++ source file.
//
// Every table is a sum of harmonics of one cycle, so its mean is zero; each is scaled to a peak
// magnitude of about 1 and turned to start at a rising zero crossing (the square wave at about
// 0.51 on its rising edge). The tables are checked against those bounds before anything is
// written; a table out of bounds fails the build.
//
// Usage: orvex_wavetable_generator OUTPUT.cpp
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kLength = 4096;
constexpr int kTables = 66;
constexpr double kTwoPi = 6.283185307179586476925286766559;

using Table = std::vector<double>;

struct Partial {
    int harmonic;
    double amplitude;
    double phase;
};

Table synthesize(const std::vector<Partial>& partials) {
    Table table(kLength, 0.0);
    for (int i = 0; i < kLength; ++i) {
        const double t = kTwoPi * i / kLength;
        double sum = 0.0;
        for (const Partial& p : partials)
            sum += p.amplitude * std::sin(p.harmonic * t + p.phase);
        table[i] = sum;
    }
    return table;
}

double peakOf(const Table& table) {
    double peak = 0.0;
    for (double v : table)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

void scaleToPeak(Table& table, double peak) {
    const double scale = peak / peakOf(table);
    for (double& v : table)
        v *= scale;
}

// Turns the cycle so that it starts at index `start`.
void rotate(Table& table, int start) {
    std::rotate(table.begin(), table.begin() + start, table.end());
}

// The rising crossing of `level` whose two neighbouring samples lie closest to it.
int risingCrossing(const Table& table, double level) {
    int best = 0;
    double bestDistance = 1e9;
    for (int i = 0; i < kLength; ++i) {
        const double before = table[(i + kLength - 1) % kLength];
        const double at = table[i];
        if (before < level && at >= level) {
            const double distance = std::fabs(before - level) + std::fabs(at - level);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
    }
    return best;
}

// Deterministic uniform numbers in 0..1.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    double next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state_ >> 11) * (1.0 / 9007199254740992.0);
    }

private:
    std::uint64_t state_;
};

Table sineTable() {
    return synthesize({{1, 1.0, 0.0}});
}

// Odd harmonics at 1/k², alternating in sign: a band-limited triangle.
Table triangleTable() {
    std::vector<Partial> partials;
    for (int k = 1; k <= 127; k += 2) {
        partials.push_back({k, (((k - 1) / 2) % 2 == 0 ? 1.0 : -1.0) / (k * k), 0.0});
    }
    Table table = synthesize(partials);
    scaleToPeak(table, 1.0);
    return table;
}

// Every harmonic at 1/k with one common phase offset, which makes the wave lopsided: the phase
// is chosen so the positive peak is about 0.586 of the negative one.
Table sawTable() {
    auto make = [](double phase) {
        std::vector<Partial> partials;
        for (int k = 1; k <= 48; ++k)
            partials.push_back({k, 1.0 / k, phase});
        return synthesize(partials);
    };
    auto ratio = [](const Table& t) {
        return *std::max_element(t.begin(), t.end()) / -*std::min_element(t.begin(), t.end());
    };
    double low = -0.6, high = 0.0; // the ratio grows with the phase
    for (int step = 0; step < 40; ++step) {
        const double mid = 0.5 * (low + high);
        (ratio(make(mid)) < 0.586 ? low : high) = mid;
    }
    Table table = make(0.5 * (low + high));
    scaleToPeak(table, 0.995);
    rotate(table, risingCrossing(table, 0.0));
    return table;
}

// Odd harmonics at 1/k: a band-limited square, starting part-way up its rising edge.
Table squareTable() {
    std::vector<Partial> partials;
    for (int k = 1; k <= 127; k += 2)
        partials.push_back({k, 1.0 / k, 0.0});
    Table table = synthesize(partials);
    scaleToPeak(table, 1.0);
    rotate(table, risingCrossing(table, 0.51));
    return table;
}

// Further single-cycle waves of various harmonic content: a seeded recipe per table (number of
// harmonics, their slope, odd-only or all, random phases).
Table mixedTable(int number) {
    Random random(0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(number + 1));
    const int harmonics = 2 + static_cast<int>(random.next() * 30);
    const double slope = 0.5 + 1.5 * random.next();
    const bool oddOnly = random.next() < 0.3;
    std::vector<Partial> partials{{1, 1.0, 0.0}};
    for (int k = 2; k <= harmonics; ++k) {
        if (oddOnly && k % 2 == 0) continue;
        const double amplitude = (0.2 + 0.8 * random.next()) / std::pow(k, slope);
        partials.push_back({k, amplitude, kTwoPi * random.next()});
    }
    Table table = synthesize(partials);
    scaleToPeak(table, 0.998);
    rotate(table, risingCrossing(table, 0.0));
    return table;
}

std::string tableName(int index) {
    static const char* const named[] = {"table_sine", "table_tri", "table_saw", "table_sqr"};
    if (index < 4) return named[index];
    char name[32];
    std::snprintf(name, sizeof name, "table_%02d", index - 1);
    return name;
}

bool withinBounds(const std::vector<float>& table, int index) {
    double peak = 0.0, sum = 0.0;
    for (float v : table) {
        peak = std::max(peak, std::fabs(static_cast<double>(v)));
        sum += v;
    }
    const double mean = sum / kLength;
    const bool edgesNearZero =
        index == 3 || (std::fabs(table.front()) <= 0.05f && std::fabs(table.back()) <= 0.05f);
    const bool ok = peak >= 0.99 && peak <= 1.006 && std::fabs(mean) <= 0.011 && edgesNearZero;
    if (!ok) {
        std::fprintf(stderr, "%s out of bounds: peak %f, mean %f, start %f, end %f\n",
                     tableName(index).c_str(), peak, mean, table.front(), table.back());
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    std::vector<std::vector<float>> tables;
    for (int index = 0; index < kTables; ++index) {
        Table table;
        switch (index) {
        case 0:
            table = sineTable();
            break;
        case 1:
            table = triangleTable();
            break;
        case 2:
            table = sawTable();
            break;
        case 3:
            table = squareTable();
            break;
        default:
            table = mixedTable(index - 1);
            break;
        }
        tables.emplace_back(table.begin(), table.end());
        if (!withinBounds(tables.back(), index)) return 1;
    }

    const std::string path = argv[1];
    const std::string temporary = path + ".tmp";
    std::FILE* out = std::fopen(temporary.c_str(), "w");
    if (out == nullptr) {
        std::perror(temporary.c_str());
        return 1;
    }
    std::fprintf(out, "// Generated by orvex_wavetable_generator; do not edit.\n"
                      "#include \"Wavetables.h\"\n\n");
    for (int index = 0; index < kTables; ++index) {
        std::fprintf(out, "alignas(64) const float %s[%d] = {\n", tableName(index).c_str(),
                     kLength);
        for (int i = 0; i < kLength; ++i) {
            std::fprintf(out, "%af,%s", static_cast<double>(tables[index][i]),
                         i % 8 == 7 ? "\n" : " ");
        }
        std::fprintf(out, "};\n\n");
    }
    std::fprintf(out, "const float* const wavetables[%d] = {\n", kTables);
    for (int index = 0; index < kTables; ++index) {
        std::fprintf(out, "    %s,\n", tableName(index).c_str());
    }
    std::fprintf(out, "};\n");
    if (std::fclose(out) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::perror(path.c_str());
        return 1;
    }
    return 0;
}
