// Costs of the core services on the paths that matter: a log line from the render thread, a
// block through the main queue, the text of a number, a preset-sized property list, property
// lists of many keys (loading must grow linearly with the key count), and the largest property
// list file the readers take.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Dispatch.h"
#include "core/FileManager.h"
#include "core/LogRing.h"
#include "core/PropertyList.h"
#include "core/RunLoop.h"
#include "core/SwiftText.h"

namespace {

void BM_LogRingTryPostAndDrain(benchmark::State& state) {
    pf::LogRing ring(1024);
    std::size_t sink = 0;
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i)
            ring.tryPostf("kernel: set parameter %d to %f", i, i * 0.25);
        ring.drain([&](std::string_view line) { sink += line.size(); });
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_LogRingTryPostAndDrain);

void BM_MainQueueAsyncAndDrain(benchmark::State& state) {
    int ran = 0;
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i)
            pf::DispatchQueue::main().async([&] { ++ran; });
        pf::drainMainQueue();
    }
    benchmark::DoNotOptimize(ran);
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_MainQueueAsyncAndDrain);

void BM_SwiftTextOfDouble(benchmark::State& state) {
    double value = 0.30000001192092896;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pf::swiftText(value));
        value += 1.0e-3;
    }
}
BENCHMARK(BM_SwiftTextOfDouble);

pf::PlistValue presetSized() {
    pf::PlistDictionary group;
    group.set("identifier", "kGlobalParameters");
    group.set("count", 12);
    for (int i = 0; i < 12; ++i) {
        pf::PlistDictionary param;
        param.set("address", i);
        param.set("identifier", "kCompanderParameter" + std::to_string(i));
        param.set("value", static_cast<float>(i) / 11.0f);
        group.set("param " + std::to_string(i), param);
    }
    pf::PlistDictionary root;
    root.set("version", 1);
    root.set("name", "Preset");
    root.set("group 0", group);
    return pf::PlistValue(root);
}

void BM_PropertyListRoundTrip(benchmark::State& state) {
    const auto value = presetSized();
    const auto format =
        state.range(0) == 0 ? pf::PropertyListFormat::xml : pf::PropertyListFormat::binary;
    for (auto _ : state) {
        const auto bytes = pf::PropertyListSerialization::data(value, format);
        benchmark::DoNotOptimize(pf::PropertyListSerialization::propertyList(bytes));
    }
}
BENCHMARK(BM_PropertyListRoundTrip)->Arg(0)->Arg(1);

// A flat dictionary of `keys` integer entries, as XML text written here (building it through the
// value model would measure the model, not the reader).
std::string manyKeysXml(std::int64_t keys) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (std::int64_t i = 0; i < keys; ++i) {
        xml += "\t<key>parameter " + std::to_string(i) + "</key>\n\t<integer>" + std::to_string(i) +
               "</integer>\n";
    }
    xml += "</dict>\n</plist>\n";
    return xml;
}

// Range 0: the key count; range 1: 0 for XML, 1 for binary (written from the parsed XML).
void BM_PropertyListLoadManyKeys(benchmark::State& state) {
    const std::string xml = manyKeysXml(state.range(0));
    std::vector<std::uint8_t> bytes(xml.begin(), xml.end());
    if (state.range(1) == 1) {
        bytes = pf::PropertyListSerialization::data(
            pf::PropertyListSerialization::propertyList(xml), pf::PropertyListFormat::binary);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(pf::PropertyListSerialization::propertyList(bytes));
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PropertyListLoadManyKeys)
    ->ArgsProduct({{5000, 20000, 80000, 130000}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_PropertyListLoadManyKeys)
    ->Name("BM_PropertyListLoadManyKeysBinary")
    ->ArgsProduct({{5000, 20000, 80000, 130000}, {1}})
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

// The largest file the readers take: a flat dictionary of 131,071 keys of 12 characters with a
// boolean each (262,143 objects, the dictionary included, against a bound of 262,144), 3.9 MB of
// XML against a limit of 4 MiB; range 0 is 1 for the same list in binary. Read as presets,
// settings and bundles read theirs. "peak_MB" is the process's peak resident size so far.
void BM_PropertyListLoadLargestFile(benchmark::State& state) {
    constexpr int kKeys = 131071;
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (int i = 0; i < kKeys; ++i) {
        const std::string key = std::to_string(i);
        xml += "<key>" + std::string(12 - key.size(), 'k') + key + "</key><true/>\n";
    }
    xml += "</dict>\n</plist>\n";
    std::vector<std::uint8_t> bytes(xml.begin(), xml.end());
    if (state.range(0) == 1) {
        bytes = pf::PropertyListSerialization::data(
            pf::PropertyListSerialization::propertyList(xml), pf::PropertyListFormat::binary);
    }
    const std::string path =
        (std::filesystem::temp_directory_path() / "core_bench_largest.plist").string();
    pf::FileManager::defaultManager().writeAtomically(path, bytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            pf::PropertyListSerialization::propertyListWithContentsOfFile(path));
    }
    std::remove(path.c_str());
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_PropertyListLoadLargestFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
