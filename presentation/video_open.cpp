// The one backend the player uses, so that no other demuxer sees a clip that
// came from a module file.
#include "presentation/video_open.h"

bool openQuestionVideo(cv::VideoCapture& capture, const std::string& path) {
    return capture.open(path, cv::CAP_FFMPEG) && capture.isOpened();
}
