// The reader's sound decoder and its video capture (through a temporary
// file, as the reader does), with the libraries' own complaints muted.
#include "packing/convert/reader_accepts.h"

#include <fcntl.h>
#include <unistd.h>

#include <SFML/Audio/SoundBuffer.hpp>
#include <SFML/System/Err.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>
#include <sstream>
#include <string>

#include "presentation/sound_decode.h"

namespace rvlpack {

namespace {

class MutedStderr {
public:
    MutedStderr() {
        fflush(stderr);
        saved_ = dup(2);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 2);
            close(null);
        }
    }
    ~MutedStderr() {
        fflush(stderr);
        if (saved_ < 0) return;
        dup2(saved_, 2);
        close(saved_);
    }

private:
    int saved_ = -1;
};

} // namespace

bool readerPlaysSound(const std::vector<uint8_t>& bytes) {
    if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return false;
    std::ostringstream messages;
    std::streambuf* previous = sf::err().rdbuf(messages.rdbuf());
    bool decoded = false;
    {
        MutedStderr muted;
        sf::SoundBuffer buffer;
        decoded = loadQuestionSound(buffer, bytes.data(), static_cast<uint32_t>(bytes.size())) &&
                  buffer.getSampleCount() > 0;
    }
    sf::err().rdbuf(previous);
    return decoded;
}

bool readerOpensVideo(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return false;
    const char* tmp = getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/rvl-pack-XXXXXX";
    if (!mkdtemp(&dir[0])) return false;
    std::string file = dir + "/videobuffer.bin";
    FILE* out = fopen(file.c_str(), "wb");
    bool opens = out && fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out) opens = fclose(out) == 0 && opens;
    if (opens) {
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
        MutedStderr muted;
        try {
            cv::VideoCapture capture;
            cv::Mat frame;
            opens = capture.open(file) && std::isfinite(capture.get(cv::CAP_PROP_FPS)) &&
                    capture.get(cv::CAP_PROP_FPS) > 0 && capture.read(frame) && !frame.empty();
        } catch (const cv::Exception&) {
            opens = false;
        }
    }
    remove(file.c_str());
    rmdir(dir.c_str());
    return opens;
}

} // namespace rvlpack
