// SPDX-License-Identifier: GPL-3.0-or-later
// Plays generated 30-second clips (1280x720 and 1920x1080, with a sound
// track) through the video player's own loop under the dummy video driver and
// OpenAL's null output, and prints how far the sound ran ahead of the
// picture, how often it was toggled and the frame rate actually shown.
// Usage: video_bench [720|720mp4|1080 ...]   (default: all three)
#include <SDL.h>
#include <SFML/System/Clock.hpp>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "presentation/presentations.h"
#include "presentation/video.h"
#include "presentation/video_module.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"

namespace {

struct Case {
    const char* name;
    const char* file;
    const char* fourcc;
    int width, height;
};

const Case cases[] = {
    {"720", "clip720.avi", "MJPG", 1280, 720},
    {"720mp4", "clip720.mp4", "mp4v", 1280, 720},
    {"1080", "clip1080.avi", "MJPG", 1920, 1080},
};

const double clipSeconds = 30.0;
const double clipFps = 25.0;

// A gradient with a moving bar and a block whose colour names the frame:
// enough detail that decoding costs something, little enough to stay small.
testing_support::Painter movingBar(int width, int height) {
    auto base = std::make_shared<cv::Mat>(height, width, CV_8UC3);
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            base->at<cv::Vec3b>(r, c) = cv::Vec3b(uint8_t(c * 255 / width), uint8_t(r * 255 / height), uint8_t((c + r) / 8));
    return [base, width, height](cv::Mat& frame, int i) {
        base->copyTo(frame);
        int x = (i * 16) % (width - 64);
        frame(cv::Rect(x, 0, 64, height)).setTo(cv::Scalar(255, 255, 255));
        frame(cv::Rect(0, 0, 128, 128)).setTo(testing_support::frameColour(i));
    };
}

int64_t medianLead(const VideoPlayStats& s, double quantile) {
    int64_t total = 0;
    for (const auto& kv : s.leadCounts) total += kv.second;
    int64_t wanted = static_cast<int64_t>(quantile * static_cast<double>(total - 1));
    for (const auto& kv : s.leadCounts) {
        if (wanted < kv.second) return kv.first;
        wanted -= kv.second;
    }
    return 0;
}

void runCase(const Case& c, const std::vector<uint8_t>& sound) {
    int frames = static_cast<int>(clipSeconds * clipFps);
    sf::Clock gen;
    std::string extension = std::string(c.file).substr(std::string(c.file).rfind('.') + 1);
    std::vector<uint8_t> video =
        testing_support::makeClip(extension, c.fourcc, frames, c.width, c.height, clipFps, movingBar(c.width, c.height));
    if (video.empty()) {
        printf("%s: OpenCV's writer refused %s\n", c.name, c.fourcc);
        bench::printRow(std::string("video ") + c.name, std::string("not run: OpenCV's writer refused ") + c.fourcc, "-");
        return;
    }
    printf("\n%s: %dx%d %s, %d frames at %.0f fps, %.1f MB, written in %.1f s\n", c.name, c.width, c.height, c.fourcc,
           frames, clipFps, video.size() / 1e6, gen.getElapsedTime().asSeconds());
    fflush(stdout);

    VideoPlayStats stats;
    videoPlayStats = &stats;
    sf::Clock play;
    playVideoAsk(const_cast<unsigned char*>(sound.data()), uint32_t(sound.size()), video.data(), uint32_t(video.size()));
    double seconds = play.getElapsedTime().asSeconds();
    videoPlayStats = nullptr;

    double shownSpan = (stats.lastFrameMicroseconds - stats.firstFrameMicroseconds) / 1e6;
    double effective = stats.framesShown > 1 && shownSpan > 0 ? (stats.framesShown - 1) / shownSpan : 0;
    printf("  played in %.2f s; frames shown %lld of %d\n", seconds, (long long)stats.framesShown, frames);
    printf("  frame rate: effective %.3f fps, nominal %.3f fps (%.2f%% slower)\n", effective, stats.framesPerSecond,
           100.0 * (1.0 - effective / stats.framesPerSecond));
    if (stats.framesShown > 0) {
        printf("  frame found due late by %.0f us on average, %lld us at most; decode+copy+present %.0f us on average, %lld us at most\n",
               double(stats.lateMicrosecondsTotal) / stats.framesShown, (long long)stats.lateMicrosecondsLargest,
               double(stats.frameWorkMicrosecondsTotal) / stats.framesShown, (long long)stats.frameWorkMicrosecondsLargest);
    }
    printf("  sound lead over picture: largest %d ms, median %lld ms, 99th percentile %lld ms\n", stats.largestLeadMs,
           (long long)medianLead(stats, 0.5), (long long)medianLead(stats, 0.99));
    printf("  toggles %lld (%.1f per second), resumes when back in sync %lld\n", (long long)stats.toggles,
           stats.toggles / seconds, (long long)stats.resumes);
    printf("  loop passes %lld (%.0f per second)\n", (long long)stats.passes, stats.passes / seconds);
    fflush(stdout);

    char area[96];
    snprintf(area, sizeof area, "video %s (%dx%d %s, %.0f s)", c.name, c.width, c.height, c.fourcc, clipSeconds);
    bench::printRow(area, "effective frame rate vs nominal", bench::format("%.2f fps", effective),
                    bench::format("%.2f fps", stats.framesPerSecond), bench::ratio(effective, stats.framesPerSecond));
    bench::printRow(area, "sound lead over picture, largest / median",
                    std::to_string(stats.largestLeadMs) + " ms / " + std::to_string(medianLead(stats, 0.5)) + " ms");
    bench::printRow(area, "sound toggles (pauses and resumes)",
                    std::to_string(stats.toggles) + bench::format(" (%.1f/s)", stats.toggles / seconds));
}

} // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    // The player is the reader's video module, loaded as the reader loads it.
    const std::string module = std::string(RVL_RUN_DIR) + "/" + videoModuleFileName;
    videoModulePath = module.c_str();
    char dirTemplate[] = "/tmp/rvl-video-bench-XXXXXX";
    if (!mkdtemp(dirTemplate) || chdir(dirTemplate) != 0) {
        perror("bench directory");
        return 1;
    }
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    window = SDL_CreateWindow("RVL Reader", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, screenWidth, screenHeight,
                              SDL_WINDOW_SHOWN);
    renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_TARGETTEXTURE) : nullptr;
    if (!renderer) {
        fprintf(stderr, "SDL_CreateRenderer: %s\n", SDL_GetError());
        return 1;
    }
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer, &info);
    double load[1] = {0};
    getloadavg(load, 1);
    printf("load average %.2f; renderer %s, video driver %s, ALSOFT_DRIVERS=%s\n", load[0], info.name, SDL_GetCurrentVideoDriver(),
           getenv("ALSOFT_DRIVERS"));
    std::vector<uint8_t> sound = testing_support::makeWav(clipSeconds + 1.0, 22050);

    for (const Case& c : cases) {
        bool wanted = argc < 2;
        for (int i = 1; i < argc; ++i) wanted = wanted || std::string(argv[i]) == c.name;
        if (wanted) runCase(c, sound);
    }

    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    rmdir("temp");
    if (chdir("/") == 0) rmdir(dirTemplate);
    return 0;
}
