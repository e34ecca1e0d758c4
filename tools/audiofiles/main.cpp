// Writes the application's audio files 1.m4a … N.m4a, or one test tone.
//
//   orvex_gen_audio_files OUTPUT_DIR [COUNT]              files 1 … COUNT (default 80)
//   orvex_gen_audio_files --tone FILE RATE HZ FRAMES      a stereo sine tone (right at half level)

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "AacM4aWriter.h"
#include "AudioSynth.h"

namespace {

template <typename T> bool parse(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size();
}

int usage() {
    std::fprintf(stderr, "usage: orvex_gen_audio_files OUTPUT_DIR [COUNT]\n"
                         "       orvex_gen_audio_files --tone FILE RATE HZ FRAMES\n");
    return 2;
}

int writeTone(char** argv) {
    int rate = 0;
    double frequency = 0;
    size_t frames = 0;
    if (!parse(argv[3], rate) || !parse(argv[4], frequency) || !parse(argv[5], frames) ||
        rate < 8000 || rate > 192000 || frequency <= 0 || frames == 0) {
        return usage();
    }
    audiofiles::writeAacM4a(argv[2], audiofiles::synthesiseTone(rate, frequency, frames, 0.5f));
    return 0;
}

// Files are independent, so a few workers share them; the bytes do not depend on the order.
int writeApplicationFiles(const std::filesystem::path& folder, int count) {
    std::filesystem::create_directories(folder);
    std::atomic<int> next{1};
    std::mutex errorsLock;
    std::vector<std::string> errors;
    auto work = [&] {
        for (int n = next++; n <= count; n = next++) {
            try {
                const auto path = folder / (std::to_string(n) + ".m4a");
                audiofiles::writeAacM4a(path.string(), audiofiles::synthesiseFile(n));
            } catch (const std::exception& e) {
                std::lock_guard lock(errorsLock);
                errors.emplace_back(e.what());
            }
        }
    };
    const int workers = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
    std::vector<std::thread> threads;
    for (int i = 0; i < std::min(workers, count); ++i)
        threads.emplace_back(work);
    for (auto& t : threads)
        t.join();
    for (const auto& e : errors)
        std::fprintf(stderr, "orvex_gen_audio_files: %s\n", e.c_str());
    return errors.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_WARNING); // the encoder reports statistics at the info level
    try {
        if (argc == 6 && std::string_view(argv[1]) == "--tone") return writeTone(argv);
        if (argc < 2 || argc > 3 || argv[1][0] == '-') return usage();
        int count = audiofiles::kApplicationFileCount;
        if (argc == 3 && (!parse(std::string_view(argv[2]), count) || count < 1 ||
                          count > audiofiles::kApplicationFileCount)) {
            return usage();
        }
        return writeApplicationFiles(argv[1], count);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orvex_gen_audio_files: %s\n", e.what());
        return 1;
    }
}
