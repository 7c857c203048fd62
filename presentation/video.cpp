// SPDX-License-Identifier: GPL-3.0-or-later
// The video question: the video block goes through a temporary file to the
// capture, its frames are shown full-window at the clip's rate while the
// separate sound track plays from memory and is held back when it runs ahead.
#include "presentation/video_player.h"

#include <SFML/Audio.hpp>
#include <SFML/System/Clock.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>

#include "platform/input_events.h"
#include "platform/sdl_handles.h"
#include "presentation/sound_decode.h"
#include "presentation/video.h"
#include "presentation/video_sync.h"

namespace {

const char* const videoBufferPath = "temp/videobuffer.bin";

// Writes the whole video block to the temporary file, making "temp" when it
// is missing. False when the file cannot be created or fully written; what
// was partly written is then removed.
bool writeVideoBuffer(const unsigned char* video, uint32_t videoSize) {
    std::error_code ignored;
    std::filesystem::create_directory("temp", ignored);
    FILE* file = fopen(videoBufferPath, "wb");
    if (!file) return false;
    bool written = videoSize == 0 || fwrite(video, 1, videoSize, file) == videoSize;
    written = fclose(file) == 0 && written;
    // A part of a clip (a full disk) is no use to the next question either.
    if (!written) remove(videoBufferPath);
    return written;
}

// A capture property as a texture size: truncated toward zero, 0 when it is
// not a number, not positive or beyond what a texture can hold.
int textureSide(double reported) {
    if (!std::isfinite(reported) || reported < 1.0 || reported > 65535.0) return 0;
    return static_cast<int>(reported);
}

TextureHandle makeFrameTexture(SDL_Renderer* renderer, int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    return TextureHandle(SDL_CreateTexture(renderer, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING, width, height));
}

// A clip ends on the program's own ways out too, but only the clip ends.
bool endsClip(const SDL_Event& e) { return isQuitEvent(e) || isLeftPress(e); }

void noteFrame(VideoPlayStats& stats, int64_t late, int64_t work, int64_t now) {
    ++stats.framesShown;
    if (stats.firstFrameMicroseconds < 0) stats.firstFrameMicroseconds = now;
    stats.lastFrameMicroseconds = now;
    stats.lateMicrosecondsTotal += late;
    stats.lateMicrosecondsLargest = std::max(stats.lateMicrosecondsLargest, late);
    stats.frameWorkMicrosecondsTotal += work;
    stats.frameWorkMicrosecondsLargest = std::max(stats.frameWorkMicrosecondsLargest, work);
}

void noteSync(VideoPlayStats& stats, int32_t lead, const SyncDecision& d, sf::SoundSource::Status status) {
    stats.largestLeadMs = std::max(stats.largestLeadMs, lead);
    ++stats.leadCounts[lead];
    if (d.restartToggleClock) ++stats.toggles;
    else if (d.action == SoundAction::resume && status == sf::SoundSource::Paused) ++stats.resumes;
}

} // namespace

void frameToTexture(SDL_Texture* texture, const cv::Mat& frame) {
    if (!texture || frame.empty() || frame.type() != CV_8UC3) return;
    Uint32 format = 0;
    int width = 0, height = 0;
    if (SDL_QueryTexture(texture, &format, nullptr, &width, &height) != 0) return;
    if (SDL_BYTESPERPIXEL(format) != 3 || SDL_ISPIXELFORMAT_FOURCC(format)) return;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0 || !pixels) return;
    int rows = std::min(height, frame.rows);
    size_t rowBytes = static_cast<size_t>(std::min(width, frame.cols)) * 3;
    size_t frameRowBytes = static_cast<size_t>(frame.cols) * 3;
    auto* target = static_cast<unsigned char*>(pixels);
    if (frame.isContinuous() && frame.rows == height && frame.cols == width && static_cast<size_t>(pitch) == frameRowBytes) {
        memcpy(target, frame.data, frameRowBytes * static_cast<size_t>(rows));
    } else {
        for (int r = 0; r < rows; ++r) memcpy(target + static_cast<size_t>(r) * static_cast<size_t>(pitch), frame.ptr(r), rowBytes);
    }
    SDL_UnlockTexture(texture);
}

bool openVideoCapture(cv::VideoCapture& capture, const std::string& path) {
    return capture.open(path, cv::CAP_FFMPEG) && capture.isOpened();
}

void playVideoClip(const VideoHost& host, unsigned char* media, uint32_t mediaSize, unsigned char* video,
                   uint32_t videoSize) {
    SDL_Renderer* renderer = host.renderer;
    SDL_Event& event = *host.event;
    remove(videoBufferPath);
    cv::VideoCapture cap;
    if (writeVideoBuffer(video, videoSize)) openVideoCapture(cap, videoBufferPath);
    if (!cap.isOpened()) {
        std::cerr << noCaptureLine << std::endl;
        return;
    }

    double framesPerSecond = usableFrameRate(cap.get(cv::CAP_PROP_FPS));
    double framePeriod = framePeriodMicroseconds(framesPerSecond);
    int height = textureSide(cap.get(cv::CAP_PROP_FRAME_HEIGHT));
    int width = textureSide(cap.get(cv::CAP_PROP_FRAME_WIDTH));
    // A capture that reports no size gets its texture from the first frame.
    TextureHandle texture = makeFrameTexture(renderer, width, height);

    bool playing = true;
    sf::Clock c1;
    sf::Clock c2;
    sf::Clock wall;  // for the statistics only
    uint64_t framesRead = 0;
    SDL_SetRenderTarget(renderer, nullptr);
    cv::Mat frame;
    sf::SoundBuffer sb;
    sf::Sound s;
    // Without an audio device every call on the sound fails and prints a
    // complaint; one look after starting it decides that it stays Stopped
    // and is left alone from then on.
    bool soundPlays = false;
    if (loadQuestionSound(sb, media, mediaSize)) {
        s.setBuffer(sb);
        s.play();
        soundPlays = s.getStatus() == sf::SoundSource::Playing;
    }
    VideoPlayStats* stats = host.stats;
    if (stats) stats->framesPerSecond = framesPerSecond;

    while (playing) {
        if (stats) ++stats->passes;
        int64_t sinceFrame = c1.getElapsedTime().asMicroseconds();
        if (static_cast<double>(sinceFrame) > framePeriod) {
            c1.restart();
            cap >> frame;
            if (frame.empty()) {
                playing = false;
                continue;
            }
            ++framesRead;
            if (!texture) texture = makeFrameTexture(renderer, frame.cols, frame.rows);
            if (texture) {
                frameToTexture(texture.get(), frame);
                SDL_RenderCopy(renderer, texture.get(), nullptr, nullptr);
                host.present(renderer);
            }
            if (stats) {
                noteFrame(*stats, sinceFrame - static_cast<int64_t>(framePeriod), c1.getElapsedTime().asMicroseconds(),
                          wall.getElapsedTime().asMicroseconds());
            }
        }

        double picture = picturePositionMs(cap.get(cv::CAP_PROP_POS_MSEC), framesRead, framesPerSecond);
        int32_t lead = soundLeadMs(soundPlays ? s.getPlayingOffset().asMilliseconds() : 0, picture);
        sf::SoundSource::Status status = soundPlays ? s.getStatus() : sf::SoundSource::Stopped;
        SyncDecision d = syncStep(lead, status, c2.getElapsedTime().asMicroseconds());
        if (stats) noteSync(*stats, lead, d, status);
        if (soundPlays && d.action == SoundAction::resume) s.play();
        if (soundPlays && d.action == SoundAction::pause) s.pause();
        if (d.restartToggleClock) c2.restart();

        while (host.pollEvent(&event)) {
            if (endsClip(event)) playing = false;
        }
        if (host.quitSignalled()) playing = false;
    }

    if (stats) stats->soundStatusAtEnd = static_cast<int>(soundPlays ? s.getStatus() : sf::SoundSource::Stopped);
    if (soundPlays) s.stop();
    cap.release();
    texture.reset();
    remove(videoBufferPath);
}
