// SPDX-License-Identifier: GPL-3.0-or-later
// The video module's code, linked into rvl-video.so and, directly, into the
// tools and tests that need it: the player, its frame copy and the capture's
// opening, which the pack check shares so that it judges a video as the
// reader will open it.
#pragma once

#include <SDL.h>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <cstdint>
#include <string>

#include "presentation/video_host.h"

// Opens the capture on a video file the way the player does.
bool openVideoCapture(cv::VideoCapture& capture, const std::string& path);

// Copies a BGR frame into a locked BGR24 texture, row by row whenever the
// texture's pitch differs from the frame's row size. Only the part that
// fits both is copied; a frame of another sample type or channel count, or
// a texture that cannot be locked, is skipped.
void frameToTexture(SDL_Texture* texture, const cv::Mat& frame);

// The video question itself (the module's entry point calls it).
void playVideoClip(const VideoHost& host, unsigned char* media, uint32_t mediaSize, unsigned char* video,
                   uint32_t videoSize);
