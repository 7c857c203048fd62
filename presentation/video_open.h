// Opening a video question's clip, written to a file, for the player; the
// pack check opens clips with it too, so both judge a clip alike.
#pragma once

#include <opencv2/videoio.hpp>

#include <string>

// Opens the clip at path with the FFmpeg backend; false when it does not open.
bool openQuestionVideo(cv::VideoCapture& capture, const std::string& path);
