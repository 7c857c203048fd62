// SPDX-License-Identifier: GPL-3.0-or-later
// Build's media conversions against the length of the media: a 5-minute MP3
// to Ogg Vorbis, and a 30 s 1080p 16:9 clip letterboxed to 4:3. Each
// conversion runs in a fresh process, so its peak memory is its own.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "packing/convert/sound_convert.h"
#include "packing/convert/video_convert.h"
#include "packing/pack_check.h"
#include "packing/pack_reader.h"
#include "tests/support/av_media.h"

namespace {

const double mp3Seconds = 300, clipSeconds = 30;
const int clipFps = 25;

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Child: converts the file as build does and reports on stderr
// "seconds cpu-seconds peak-KiB what-was-converted". CPU time (all threads)
// tells a busy machine from a slow conversion.
int convertOne(const std::string& kind, const std::string& path) {
    std::vector<uint8_t> input, output;
    std::string error;
    if (!rvlpack::readWholeFile(path, input, &error)) {
        fprintf(stderr, "0 0 0 %s\n", error.c_str());
        return 1;
    }
    double start = bench::nowSeconds(), cpuStart = cpuSeconds();
    bool ok = false;
    std::string what;
    if (kind == "sound") {
        rvlpack::SoundFacts from, to;
        ok = rvlpack::convertSound(input, output, from, to, error) == rvlpack::SoundOutcome::Converted;
        what = rvlpack::describeSound(from) + " -> " + rvlpack::describeSound(to);
    } else {
        rvlpack::VideoFacts from, to;
        ok = rvlpack::convertVideo(input, true, rvlpack::windowWidth, rvlpack::windowHeight, output, from, to, error);
        what = rvlpack::describeVideo(from) + " -> " + rvlpack::describeVideo(to);
    }
    double seconds = bench::nowSeconds() - start, cpu = cpuSeconds() - cpuStart;
    fprintf(stderr, "%.3f %.3f %ld %s, %zu -> %zu bytes%s\n", seconds, cpu, bench::peakResidentKiB(), what.c_str(),
            input.size(), output.size(), ok ? "" : (", failed: " + error).c_str());
    return ok ? 0 : 1;
}

bool writeMedia(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = !bytes.empty() && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool measure(const char* figure, const std::string& kind, const std::string& path, double mediaSeconds) {
    bench::ChildResult child = bench::runSelf({kind, path}, bench::Sink::DevNull);
    double seconds = 0, cpu = 0;
    long kib = 0;
    int used = 0;
    if (!child.ok || sscanf(child.report.c_str(), "%lf %lf %ld %n", &seconds, &cpu, &kib, &used) != 3) {
        printf("%s: failed: %s\n", figure, child.report.c_str());
        return false;
    }
    printf("%s: %s", figure, child.report.c_str() + used);
    bench::printRow("conversion", std::string(figure) + ", time against media length",
                    bench::format("%.1f s", seconds), bench::format("%.0f s", mediaSeconds),
                    bench::ratio(seconds, mediaSeconds));
    bench::printRow("conversion", std::string(figure) + ", CPU time (all threads) against media length",
                    bench::format("%.1f s", cpu), bench::format("%.0f s", mediaSeconds), bench::ratio(cpu, mediaSeconds));
    bench::printRow("conversion", std::string(figure) + ", peak memory (VmHWM)",
                    bench::format("%.0f MiB", kib / 1024.0));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET);  // the child's stderr carries its figures only
    if (argc == 3) return convertOne(argv[1], argv[2]);
    using testing_support::makeClip;
    const char* tmp = getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/rvl-convert-bench-XXXXXX";
    if (!mkdtemp(&dir[0])) {
        perror("mkdtemp");
        return 1;
    }
    std::string mp3 = dir + "/song.mp3", clip = dir + "/wide.mp4";
    // The sources are made with FFmpeg's encoders, as the tests make theirs:
    // a 440 Hz tone, and a moving white disc on grey (easy content for the
    // encoder; real footage takes longer).
    bool made = writeMedia(mp3, makeClip({"mp3", nullptr, 0, 0, 0, 25, "libmp3lame", 44100, 2, mp3Seconds})) &&
                writeMedia(clip, makeClip({"mp4", "libx264", 1920, 1080, static_cast<int>(clipSeconds * clipFps),
                                           clipFps}));
    bool ok = made && measure("5-minute MP3 to Ogg Vorbis", "sound", mp3, mp3Seconds);
    ok = made && measure("30 s 1080p 16:9 H.264 clip letterboxed to 4:3", "video", clip, clipSeconds) && ok;
    if (!made) printf("the source media could not be made\n");
    remove(mp3.c_str());
    remove(clip.c_str());
    rmdir(dir.c_str());
    return ok ? 0 : 1;
}
