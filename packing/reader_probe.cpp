// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's sound decoder and video capture run on a pack's media blocks,
// the libraries' complaints muted and their first line kept.
#include "packing/reader_probe.h"

#include <fcntl.h>
#include <unistd.h>

#include <SFML/Audio/InputSoundFile.hpp>
#include <SFML/Audio/SoundBuffer.hpp>
#include <SFML/System/Err.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <opencv2/core/utils/logger.hpp>
#include <sstream>

#include "module/format.h"
#include "packing/temporary_files.h"
#include "platform/texts.h"
#include "presentation/sound_decode.h"
#include "presentation/video_player.h"

namespace rvlpack {

namespace {

std::string firstLine(const std::string& text) {
    size_t start = text.find_first_not_of(" \n");
    if (start == std::string::npos) return "";
    size_t end = text.find('\n', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

} // namespace

MutedStderr::MutedStderr() {
    fflush(stderr);
    saved_ = dup(2);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, 2);
        close(null);
    }
}

MutedStderr::~MutedStderr() {
    fflush(stderr);
    if (saved_ < 0) return;
    dup2(saved_, 2);
    close(saved_);
}

SoundProbe probeSound(const std::vector<uint8_t>& bytes) {
    SoundProbe probe;
    if (bytes.empty() || bytes.size() > rvlformat::kMaxBlock) return probe;
    std::ostringstream messages;
    MutedStderr muted;
    // The buffer opens the audio device; what it says about that (none on a
    // build machine, say) is no finding about the clip.
    std::streambuf* previous = sf::err().rdbuf(nullptr);
    {
        sf::SoundBuffer buffer;
        sf::err().rdbuf(messages.rdbuf());
        probe.decoded = loadQuestionSound(buffer, bytes.data(), static_cast<uint32_t>(bytes.size()));
        sf::err().rdbuf(nullptr);
        probe.samples = buffer.getSampleCount();
        sf::InputSoundFile file;
        if (probe.decoded && file.openFromMemory(bytes.data(), bytes.size())) {
            probe.fileSamples = file.getSampleCount();
            probe.channels = file.getChannelCount();
            probe.rate = file.getSampleRate();
        }
    }
    sf::err().rdbuf(previous);
    // Whether a device opened is no finding about the clip: what the library
    // says about the clip itself (its channels, say) comes first.
    std::string said = messages.str();
    for (size_t start = 0; start < said.size();) {
        size_t end = std::min(said.find('\n', start), said.size());
        std::string line = said.substr(start, end - start);
        if (!line.empty() && line.find("audio device") == std::string::npos) {
            probe.said = line;
            break;
        }
        start = end + 1;
    }
    if (probe.said.empty()) probe.said = firstLine(said);
    return probe;
}

VideoProbe probeVideo(const std::vector<uint8_t>& bytes) {
    VideoProbe probe;
    const char* tmp = getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/rvl-pack-XXXXXX";
    if (!mkdtemp(&dir[0])) {
        probe.said = tr("cannot make a temporary directory");
        return probe;
    }
    // The reader hands the video to OpenCV through a file; so does this.
    std::string file = dir + "/videobuffer.bin";
    holdTemporary(dir);
    holdTemporary(file);
    FILE* out = fopen(file.c_str(), "wb");
    bool written = out && fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out) written = fclose(out) == 0 && written;
    if (!written) {
        probe.said = format(tr("cannot write %s"), file.c_str());
    } else {
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
        MutedStderr muted;
        try {
            cv::VideoCapture capture;
            cv::Mat frame;
            if (!openVideoCapture(capture, file)) {
                probe.verdict = VideoProbe::DoesNotOpen;
            } else {
                probe.framesPerSecond = capture.get(cv::CAP_PROP_FPS);
                probe.verdict = capture.read(frame) && !frame.empty() ? VideoProbe::Opens : VideoProbe::NoPicture;
            }
        } catch (const cv::Exception& e) {
            probe.verdict = VideoProbe::DoesNotOpen;
            probe.said = firstLine(e.what());
        }
    }
    remove(file.c_str());
    rmdir(dir.c_str());
    releaseTemporary(file);
    releaseTemporary(dir);
    return probe;
}

} // namespace rvlpack
