// SPDX-License-Identifier: GPL-3.0-or-later
// Board frame benchmark on SDL's software renderer (dummy video driver): one
// App::render with a topic chosen against one bare full-window copy and
// present, and the cost of rebuilding a grid of 20 cells.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "board/board_state.h"
#include "module/records.h"
#include "platform/resource_files.h"
#include "shell/app.h"
#include "shell/globals.h"

using Ravlin::RM_Reader::RM_Ask;
using Ravlin::RM_Reader::RM_Topic;
using Ravlin::RM_Reader::topics;

namespace {

const int kTopics = 12;      // more than the list area shows, so the list is cut
const int kQuestions = 20;   // a full grid: four rows and the cut fifth
const int kBlocks = 5;       // measured blocks, taken in turn to share the noise
const int kFramesPerBlock = 60;
const int kRebuilds = 60;

// The window, renderer and shared pictures as App::init makes them, without
// its start-up box and selection screen.
bool openWindow() {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) return false;
    IMG_Init(IMG_INIT_JPG | IMG_INIT_PNG);
    if (TTF_Init() != 0) return false;
    window = SDL_CreateWindow("RVL Reader", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, screenWidth, screenHeight,
                              SDL_WINDOW_SHOWN);
    if (!window) return false;
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
    if (!renderer) return false;
    SDL_Surface* bg = IMG_Load(resource::backgroundPicture);
    SDL_Surface* sk = IMG_Load(resource::speakerPicture);
    if (!bg || !sk) return false;
    bgTexture = SDL_CreateTextureFromSurface(renderer, bg);
    skTexture = SDL_CreateTextureFromSurface(renderer, sk);
    skRect = {screenWidth / 2 - sk->w / 2, screenHeight / 2 - sk->h / 2, sk->w, sk->h};
    SDL_FreeSurface(bg);
    SDL_FreeSurface(sk);
    mainFont = TTF_OpenFont(resource::boardFont, resource::selectionTextSize);
    return bgTexture && skTexture && mainFont;
}

void makeTopics() {
    for (int t = 0; t < kTopics; ++t) {
        RM_Topic topic;
        topic.name = L"Тема номер " + std::to_wstring(t + 1);
        for (int q = 0; q < kQuestions; ++q) {
            RM_Ask ask;
            ask.type = 'T';
            ask.question = L"Вопрос";
            ask.answer = L"Ответ";
            ask.points = static_cast<uint16_t>((q + 1) * 100);
            topic.asks.push_back(ask);
        }
        topics.push_back(topic);
    }
}

// A window-sized opaque texture in the renderer's own format, filled from the
// board background, for the floor: copying it needs no blending.
SDL_Texture* makeFloorTexture() {
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer, &info);
    Uint32 format = info.num_texture_formats ? info.texture_formats[0] : Uint32(SDL_PIXELFORMAT_ARGB8888);
    SDL_Texture* texture = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STATIC, screenWidth, screenHeight);
    if (!texture) return nullptr;
    std::vector<Uint32> pixels(size_t(screenWidth) * screenHeight);
    SDL_RenderCopy(renderer, boardBackground, nullptr, nullptr);
    SDL_RenderReadPixels(renderer, nullptr, format, pixels.data(), screenWidth * 4);
    SDL_UpdateTexture(texture, nullptr, pixels.data(), screenWidth * 4);
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
    return texture;
}

double timeFrames(int frames, void (*frame)()) {
    std::vector<double> each;
    each.reserve(size_t(frames));
    for (int i = 0; i < frames; ++i) {
        double start = bench::nowSeconds();
        frame();
        each.push_back(bench::nowSeconds() - start);
    }
    return bench::median(each);
}

SDL_Texture* floorTexture = nullptr;

void boardFrame() {
    App engine;
    engine.render();
}

void floorFrame() {
    SDL_RenderCopy(renderer, floorTexture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

void rebuildFrame() {
    board.gridTopic = -10;
    boardFrame();
}

// The floor plus one part of the board frame, to show where a frame's time
// goes: the list window, the grid (both alpha-blended) and the band.
void floorAndList() {
    SDL_RenderCopy(renderer, floorTexture, nullptr, nullptr);
    SDL_Rect src{0, board.scroll, 350, 593}, dst{0, 175, 350, 593};
    SDL_RenderCopy(renderer, board.listTexture, &src, &dst);
    SDL_RenderPresent(renderer);
}

void floorAndGrid() {
    SDL_RenderCopy(renderer, floorTexture, nullptr, nullptr);
    SDL_Rect src{0, 0, 674, 593}, dst{350, 175, 674, 593};
    SDL_RenderCopy(renderer, board.gridTexture, &src, &dst);
    SDL_RenderPresent(renderer);
}

void floorAndBand() {
    SDL_RenderCopy(renderer, floorTexture, nullptr, nullptr);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_ADD);
    SDL_SetRenderDrawColor(renderer, 255, 255, 0, 100);
    SDL_Rect band{0, 175, 350, 70};
    SDL_RenderFillRect(renderer, &band);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    SDL_RenderPresent(renderer);
}

std::string us(double seconds) { return bench::format("%.0f us", seconds * 1e6); }

} // namespace

int main() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (chdir(RVL_RUN_DIR) != 0 || !openWindow()) {
        fprintf(stderr, "frame_bench: cannot open the window: %s\n", SDL_GetError());
        return 1;
    }
    makeTopics();
    board.prepare(&topics, renderer);
    boardBackground = buildBoardBackground(renderer);
    floorTexture = boardBackground ? makeFloorTexture() : nullptr;
    const std::string area = "board frame (software renderer, 1024x768)";
    if (!boardBackground || !floorTexture) {
        bench::printRow(area, "board not built yet: no board background", "-");
        return 0;
    }
    board.selectedTopic = 1;
    for (int i = 0; i < 10; ++i) {
        boardFrame();
        floorFrame();
    }
    // Every kind of frame is timed in each block, in turn, so that a noisy
    // moment of the machine falls on all of them alike.
    struct Part {
        const char* name;
        void (*frame)();
        std::vector<double> medians;
    } parts[] = {{"App::render, topic chosen, vs one full-window copy and present", boardFrame, {}},
                 {"floor plus the list window copy (350x593, alpha-blended)", floorAndList, {}},
                 {"floor plus the grid copy (674x593, alpha-blended)", floorAndGrid, {}},
                 {"floor plus the selection band (350x70, additive)", floorAndBand, {}}};
    std::vector<double> floors, rebuilds;
    for (int b = 0; b < kBlocks; ++b) {
        floors.push_back(timeFrames(kFramesPerBlock, floorFrame));
        for (Part& part : parts) part.medians.push_back(timeFrames(kFramesPerBlock, part.frame));
        rebuilds.push_back(timeFrames(kRebuilds / kBlocks, rebuildFrame));
    }
    const double floor = bench::median(floors), rebuild = bench::median(rebuilds);
    const double frame = bench::median(parts[0].medians);
    for (const Part& part : parts) {
        double t = bench::median(part.medians);
        bench::printRow(area, part.name, us(t), us(floor), bench::ratio(t, floor));
    }
    bench::printRow(area, "App::render with a grid rebuild of 20 cells vs without", us(rebuild), us(frame),
                    bench::ratio(rebuild, frame));
    bench::printRow(area, "one grid rebuild of 20 cells (the difference)", us(rebuild - frame));
    return 0;
}
