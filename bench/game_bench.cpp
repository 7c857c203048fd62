// SPDX-License-Identifier: GPL-3.0-or-later
// What saving the game costs: one save on the writer thread (temporary
// file, fsync, rename, fsync of the folder), the JSON the main thread makes
// for it, and the video player's frame times while saves go on behind it.
// Saves go to a folder made in the working directory, on the disk a saved
// game would live on.
#include <SDL.h>
#include <SFML/System/Clock.hpp>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "bench/bench_support.h"
#include "game/game_store.h"
#include "game/saved_game.h"
#include "presentation/presentations.h"
#include "presentation/video.h"
#include "presentation/video_module.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"

namespace {

// An evening well on: 8 teams, 60 questions played, 8 buzzers bound.
game::Game eveningGame() {
    game::Game g(game::PackShape(10, std::vector<uint16_t>(10, 500)));
    g.newGame({"Красные", "Синие", "Зелёные", "Жёлтые", "Белые", "Чёрные", "Оранжевые", "Фиолетовые"});
    for (uint32_t i = 0; i < 60; ++i) {
        g.play(i / 10, i % 10);
        g.buzz(i % 8, i);
        (i % 3) ? g.right() : g.wrong();
    }
    for (uint32_t t = 0; t < 8; ++t) g.assign("030000005e0400008e02000014010000", int32_t(t), t);
    return g;
}

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[size_t(q * double(v.size() - 1))];
}

void saveTimes(const std::string& dir, const game::Game& g) {
    std::vector<double> jsonUs;
    std::string json;
    for (int i = 0; i < 200; ++i) {
        double start = bench::nowSeconds();
        json = game::gameToJson(g, "key");
        jsonUs.push_back((bench::nowSeconds() - start) * 1e6);
    }
    std::vector<double> saveUs;
    {
        game::GameWriter writer(dir + "/saves.json");
        for (int i = 0; i < 200; ++i) {
            writer.save(json, uint64_t(i));
            writer.drain();
        }
        for (int64_t t : writer.saveTimes()) saveUs.push_back(double(t));
    }
    printf("saved game of %zu bytes\n", json.size());
    bench::printRow("game saving", "one save on the writer thread, median / largest (200)",
                    bench::format("%.2f ms", quantile(saveUs, 0.5) / 1000) + " / " +
                        bench::format("%.2f ms", quantile(saveUs, 1.0) / 1000));
    bench::printRow("game saving", "its JSON made on the main thread, median / largest",
                    bench::format("%.0f us", quantile(jsonUs, 0.5)) + " / " + bench::format("%.0f us", quantile(jsonUs, 1.0)));
}

// The clip through the player's own loop; with saving on, a save is handed
// to a writer every 20 ms, far more often than any evening makes them.
void videoFrames(const std::string& dir, const game::Game& g, bool saving, const std::vector<uint8_t>& sound,
                 std::vector<uint8_t>& video) {
    std::atomic<bool> playing{true};
    game::GameWriter writer(dir + "/video.json");
    std::thread saver([&] {
        const std::string json = game::gameToJson(g, "key");
        for (uint64_t i = 0; saving && playing; ++i) {
            writer.save(json, i);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    VideoPlayStats stats;
    videoPlayStats = &stats;
    playVideoAsk(const_cast<unsigned char*>(sound.data()), uint32_t(sound.size()), video.data(), uint32_t(video.size()));
    videoPlayStats = nullptr;
    playing = false;
    saver.join();
    writer.drain();
    const size_t saves = writer.saveTimes().size();
    const char* area = saving ? "video 720p while saving" : "video 720p, no saves";
    if (stats.framesShown == 0) return bench::printRow(area, "frames shown", "0");
    bench::printRow(area, "decode+copy+present per frame, mean / largest",
                    bench::format("%.2f ms", double(stats.frameWorkMicrosecondsTotal) / stats.framesShown / 1000) +
                        " / " + bench::format("%.2f ms", double(stats.frameWorkMicrosecondsLargest) / 1000));
    bench::printRow(area, "frame found due late, mean / largest",
                    bench::format("%.2f ms", double(stats.lateMicrosecondsTotal) / stats.framesShown / 1000) + " / " +
                        bench::format("%.2f ms", double(stats.lateMicrosecondsLargest) / 1000));
    printf("%s: %lld frames, %zu saves written meanwhile\n", area, (long long)stats.framesShown, saves);
}

} // namespace

int main() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    const std::string module = std::string(RVL_RUN_DIR) + "/" + videoModuleFileName;
    videoModulePath = module.c_str();
    char dirTemplate[] = "game-bench-XXXXXX";
    if (!mkdtemp(dirTemplate) || chdir(dirTemplate) != 0) return perror("bench directory"), 1;
    char here[4096];
    const std::string dir = getcwd(here, sizeof here) ? here : ".";
    const game::Game g = eveningGame();
    saveTimes(dir, g);

    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return fprintf(stderr, "SDL_Init: %s\n", SDL_GetError()), 1;
    window = SDL_CreateWindow("RVL Reader", 0, 0, screenWidth, screenHeight, SDL_WINDOW_SHOWN);
    renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_TARGETTEXTURE) : nullptr;
    if (!renderer) return fprintf(stderr, "SDL_CreateRenderer: %s\n", SDL_GetError()), 1;
    std::vector<uint8_t> sound = testing_support::makeWav(11.0, 22050);
    std::vector<uint8_t> video = testing_support::makeClip("avi", "MJPG", 250, 1280, 720, 25.0);
    for (bool saving : {false, true}) videoFrames(dir, g, saving, sound, video);

    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    std::error_code ignored;
    if (chdir("..") == 0) std::filesystem::remove_all(dirTemplate, ignored);
    return 0;
}
