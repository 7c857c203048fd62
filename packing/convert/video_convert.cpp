// SPDX-License-Identifier: GPL-3.0-or-later
// Video re-encode: decode with FFmpeg, scale with swscale's area filter into
// a black 4:3 frame when letterboxing, encode with libx264 at constant
// quality (MJPEG otherwise), frame after frame at the source's rate.
#include "packing/convert/video_convert.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include "platform/texts.h"

namespace rvlpack {

namespace {

const char* const x264Quality = "18";  // constant rate factor: no visible blocking
const int mjpegQuality = 2;            // qscale, 1 (best) to 31
const double windowAspect = 4.0 / 3.0;

int even(double value) { return std::max(2, static_cast<int>(std::lround(value / 2)) * 2); }

double displayAspect(const AVCodecParameters* par, AVRational sar) {
    if (par->width <= 0 || par->height <= 0) return 0;
    double pixel = sar.num > 0 && sar.den > 0 ? av_q2d(sar) : 1.0;
    return par->width * pixel / par->height;
}

bool factsOf(InputFile& in, int index, VideoFacts& facts) {
    AVFormatContext* format = in.format();
    AVStream* stream = format->streams[index];
    const AVCodecParameters* par = stream->codecpar;
    facts.codec = avcodec_get_name(par->codec_id);
    facts.width = par->width;
    facts.height = par->height;
    facts.aspect = displayAspect(par, av_guess_sample_aspect_ratio(format, stream, nullptr));
    AVRational rate = av_guess_frame_rate(format, stream, nullptr);
    facts.fps = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
    facts.seconds = streamSeconds(format, stream);
    facts.frames = stream->nb_frames;
    return facts.width > 0 && facts.height > 0;
}

} // namespace

bool aspectOffWindow(double aspect) { return aspect > 0 && std::fabs(aspect / windowAspect - 1.0) > 0.02; }

bool videoWillBeStretched(const std::vector<uint8_t>& video, double& aspect) {
    VideoFacts facts;
    std::string error;
    aspect = readVideoFacts(video, facts, error) ? facts.aspect : 0;
    return aspectOffWindow(aspect);
}

std::string describeVideo(const VideoFacts& f) {
    char text[200];
    snprintf(text, sizeof text, tr("%s %dx%d (display aspect %.2f), %.3g fps, "), f.codec.c_str(), f.width, f.height,
             f.aspect, f.fps);
    return text + minutesSeconds(f.seconds);
}

// Opens the input and its first video stream and reads that stream's facts;
// -1, with the reason in error, when either is missing.
static int openFirstVideo(InputFile& in, VideoFacts& facts, std::string& error) {
    if (!in.open(error)) return -1;
    int index = in.firstStream(AVMEDIA_TYPE_VIDEO);
    if (index < 0 || !factsOf(in, index, facts)) {
        error = tr("FFmpeg finds no picture in it");
        return -1;
    }
    return index;
}

bool readVideoFacts(const std::vector<uint8_t>& input, VideoFacts& facts, std::string& error) {
    InputFile in(input);
    return openFirstVideo(in, facts, error) >= 0;
}

// The timestamps of the first video stream's packets, read without decoding,
// and where the last of them ends; the stream, or null without one.
static AVStream* videoPacketStamps(InputFile& in, std::vector<int64_t>& stamps, int64_t& end) {
    VideoFacts facts;
    std::string error;
    int index = openFirstVideo(in, facts, error);
    PacketPtr packet(av_packet_alloc());
    if (index < 0 || !packet) return nullptr;
    while (av_read_frame(in.format(), packet.get()) >= 0) {
        if (packet->stream_index == index && packet->pts != AV_NOPTS_VALUE) {
            stamps.push_back(packet->pts);
            end = std::max(end, packet->pts + std::max<int64_t>(packet->duration, 0));
        }
        av_packet_unref(packet.get());
    }
    return in.format()->streams[index];
}

double videoPacketsEnd(const std::vector<uint8_t>& input) {
    InputFile in(input);
    std::vector<int64_t> stamps;
    int64_t end = 0;
    AVStream* stream = videoPacketStamps(in, stamps, end);
    if (!stream) return 0;
    int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    return std::max<int64_t>(end - start, 0) * av_q2d(stream->time_base);
}

int64_t animationFrames(const std::vector<uint8_t>& input) {
    InputFile in(input);
    std::string error;
    PacketPtr packet(av_packet_alloc());
    if (!packet || !in.open(error)) return 0;
    int index = in.firstStream(AVMEDIA_TYPE_VIDEO);
    int64_t frames = 0;
    while (index >= 0 && av_read_frame(in.format(), packet.get()) >= 0) {
        frames += packet->stream_index == index;
        av_packet_unref(packet.get());
    }
    return frames;
}

namespace {

// A constant rate fast enough for the frames that come fastest, a tenth of
// them at least, so that a clip of variable rate keeps its motion; FFmpeg's
// r_frame_rate, when it agrees within 10%, gives a constant rate's exact
// fraction (30000/1001). Held between 1 and 60 frames a second; frames are
// placed by their timestamps, held over pauses and dropped where they come
// faster, so that the clip keeps its length.
AVRational outputRate(const std::vector<uint8_t>& input, AVFormatContext* format, AVStream* source) {
    AVRational rate = source->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = av_guess_frame_rate(format, source, nullptr);
    InputFile in(input);
    std::vector<int64_t> stamps, steps;
    int64_t end = 0;
    AVStream* stream = videoPacketStamps(in, stamps, end);
    std::sort(stamps.begin(), stamps.end());  // B-frames come out of order
    for (size_t i = 1; i < stamps.size(); ++i)
        if (stamps[i] > stamps[i - 1]) steps.push_back(stamps[i] - stamps[i - 1]);
    if (stream && steps.size() >= 2) {
        auto fast = steps.begin() + steps.size() / 10;
        std::nth_element(steps.begin(), fast, steps.end());
        AVRational timed{};
        av_reduce(&timed.num, &timed.den, stream->time_base.den, *fast * stream->time_base.num, INT_MAX);
        if (rate.num <= 0 || rate.den <= 0 || std::fabs(av_q2d(timed) / av_q2d(rate) - 1) > 0.1) rate = timed;
    }
    if (rate.num <= 0 || rate.den <= 0) rate = AVRational{25, 1};
    if (av_q2d(rate) > 60) rate = AVRational{60, 1};
    if (av_q2d(rate) < 1) rate = AVRational{1, 1};
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, 1 << 16);
    return rate;
}

// One re-encode in three steps: open sets up the decoder, the encoder, the
// muxer and the output picture; for each decoded frame the picture before
// is encoded into every output slot up to the frame's time, then the frame
// is scaled into it; finish holds the last picture to the source's end,
// drains the encoder and closes the file.
struct VideoJob {
    InputFile in;
    std::string& error;
    int index = -1;
    CodecPtr decoder, enc;
    // The output frame, and the picture's size and place in it: the whole
    // frame, or the middle of a 4:3 one padded with black.
    int frameW = 0, frameH = 0, pictureW = 0, pictureH = 0, left = 0, top = 0;
    AVRational rate{};
    double slotsPerTick = 0;
    int64_t first = AV_NOPTS_VALUE, longestHold = 0, sourceEnd = 0, lastSlot = 0;
    bool h264 = false;
    OutputFile out;
    AVStream* stream = nullptr;
    FramePtr picture;
    SwsPtr sws;  // made for the first frame's format, remade if it changes
    int64_t frames = 0;   // slots encoded
    int64_t decoded = 0;  // frames decoded; the last of them is in picture, not yet encoded

    VideoJob(const std::vector<uint8_t>& input, std::string& e) : in(input), error(e) {}

    bool open(const std::vector<uint8_t>& input, bool letterbox, int maxWidth, int maxHeight, VideoFacts& from) {
        index = openFirstVideo(in, from, error);
        if (index < 0 || !(decoder = in.openDecoder(index, error))) return false;
        AVStream* source = in.format()->streams[index];
        rate = outputRate(input, in.format(), source);
        slotsPerTick = av_q2d(source->time_base) * av_q2d(rate);
        // A forged timestamp or length must not make it encode for hours: one
        // picture is held for a minute at most, and nothing far past the source's end.
        longestHold = std::llround(60 * av_q2d(rate));
        sourceEnd = from.seconds > 0 ? std::llround(from.seconds * av_q2d(rate)) : INT64_MAX;
        lastSlot = from.seconds > 0 ? std::llround((from.seconds * 1.1 + 1) * av_q2d(rate)) : INT64_MAX;
        place(from, letterbox, maxWidth, maxHeight);
        if (!openEncoder(letterbox)) return false;
        out.packetDuration = 1;  // one slot: the muxer then keeps the last frame's length
        stream = out.addStream(enc.get(), error);
        if (!stream || !out.writeHeader(error)) return false;
        picture.reset(av_frame_alloc());
        if (!allocated(picture.get(), "av_frame_alloc", error)) return false;
        picture->format = enc->pix_fmt;
        picture->width = frameW;
        picture->height = frameH;
        return succeeded(av_frame_get_buffer(picture.get(), 0), tr("out of memory"), "av_frame_get_buffer", error);
    }

    void place(const VideoFacts& from, bool letterbox, int maxWidth, int maxHeight) {
        // The picture as shown (display aspect), fitted into the frame.
        double aspect = from.aspect > 0 ? from.aspect : double(from.width) / from.height;
        if (letterbox) {
            double shownW = std::max(double(from.width), from.height * aspect);
            double boxW = std::min<double>(maxWidth, shownW), boxH = boxW / windowAspect;
            if (boxH > maxHeight) boxH = maxHeight, boxW = boxH * windowAspect;
            frameW = even(boxW);
            frameH = even(boxH);
            if (aspect > windowAspect) {
                pictureW = frameW;
                pictureH = std::min(frameH, even(frameW / aspect));
            } else {
                pictureH = frameH;
                pictureW = std::min(frameW, even(frameH * aspect));
            }
        } else {
            double scale = std::min({1.0, double(maxWidth) / from.width, double(maxHeight) / from.height});
            frameW = pictureW = even(from.width * scale);
            frameH = pictureH = even(from.height * scale);
        }
        left = (frameW - pictureW) / 2 / 2 * 2;
        top = (frameH - pictureH) / 2 / 2 * 2;
    }

    bool openEncoder(bool letterbox) {
        const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
        const AVCodec* codec = x264 ? x264 : avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        h264 = x264 != nullptr;
        if (!codec) {
            error = tr("FFmpeg has neither a libx264 nor an MJPEG encoder");
            return false;
        }
        enc.reset(avcodec_alloc_context3(codec));
        if (!allocated(enc.get(), "avcodec_alloc_context3", error)) return false;
        enc->width = frameW;
        enc->height = frameH;
        enc->time_base = av_inv_q(rate);
        enc->framerate = rate;
        AVRational& sar = enc->sample_aspect_ratio;
        sar = letterbox ? AVRational{frameH * 4, frameW * 3} : AVRational{1, 1};
        av_reduce(&sar.num, &sar.den, sar.num, sar.den, 1 << 16);
        enc->pix_fmt = h264 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUVJ420P;
        enc->flags |= AV_CODEC_FLAG_BITEXACT;
        enc->thread_count = 2;  // fixed, so that every machine writes the same bytes
        AVDictionary* options = nullptr;  // freed below on every path
        int code = 0;
        if (h264) {
            code = av_dict_set(&options, "crf", x264Quality, 0);
            if (code >= 0) code = av_dict_set(&options, "preset", "fast", 0);
        } else {
            enc->flags |= AV_CODEC_FLAG_QSCALE;
            enc->global_quality = mjpegQuality * FF_QP2LAMBDA;
        }
        bool ok = succeeded(code, tr("out of memory"), "av_dict_set", error) && out.open(h264 ? "mp4" : "avi", error);
        if (ok && (out.format()->oformat->flags & AVFMT_GLOBALHEADER)) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = ok && succeeded(avcodec_open2(enc.get(), codec, &options),
                             format(tr("cannot open the %s encoder"), codec->name), "avcodec_open2", error);
        av_dict_free(&options);
        return ok;
    }

    bool add(const AVFrame* frame) {
        // The picture before stays up to this frame's slot; with no timestamp,
        // the frame takes the next slot.
        int64_t stamp = frame->best_effort_timestamp;
        if (stamp != AV_NOPTS_VALUE && first == AV_NOPTS_VALUE) first = stamp;
        int64_t slot = stamp != AV_NOPTS_VALUE ? std::llround((stamp - first) * slotsPerTick) : frames + 1;
        if (decoded++ > 0 && !repeatUntil(std::min({slot, frames + longestHold, lastSlot}))) return false;
        // sws_getCachedContext hands the context back, or frees it and makes another.
        sws.reset(sws_getCachedContext(sws.release(), frame->width, frame->height,
                                       static_cast<AVPixelFormat>(frame->format), pictureW, pictureH, enc->pix_fmt,
                                       SWS_AREA | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
        if (!sws) {
            error = tr("cannot set up the scaler (sws_getCachedContext)");
            return false;
        }
        if (!succeeded(av_frame_make_writable(picture.get()), tr("out of memory"), "av_frame_make_writable", error))
            return false;
        // Black bars: luma 16 (0 for full-range MJPEG), chroma 128.
        int* stride = picture->linesize;
        memset(picture->data[0], h264 ? 16 : 0, static_cast<size_t>(stride[0]) * frameH);
        memset(picture->data[1], 128, static_cast<size_t>(stride[1]) * (frameH / 2));
        memset(picture->data[2], 128, static_cast<size_t>(stride[2]) * (frameH / 2));
        uint8_t* planes[3] = {picture->data[0] + top * stride[0] + left, picture->data[1] + top / 2 * stride[1] + left / 2,
                              picture->data[2] + top / 2 * stride[2] + left / 2};
        return succeeded(sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, planes, stride),
                         tr("the scaler failed"), "sws_scale", error);
    }

    // Encodes the current picture into every slot before end.
    bool repeatUntil(int64_t end) {
        for (; frames < end; ++frames) {
            picture->pts = frames;
            if (!out.encode(enc.get(), stream, picture.get(), error)) return false;
        }
        return true;
    }

    bool finish(std::vector<uint8_t>& output) {
        // The last picture stays up to the source's end, and is shown once at least.
        if (decoded > 0 && !repeatUntil(std::max(frames + 1, std::min(sourceEnd, frames + longestHold)))) return false;
        if (!out.encode(enc.get(), stream, nullptr, error) || !out.finish(output, error)) return false;
        if (frames == 0) error = tr("it decodes to no frames");
        return frames > 0;
    }
};

} // namespace

bool convertVideo(const std::vector<uint8_t>& input, bool letterbox, int maxWidth, int maxHeight,
                  std::vector<uint8_t>& output, VideoFacts& from, VideoFacts& to, std::string& error,
                  const ProgressFn& progress) {
    VideoJob job(input, error);
    auto add = [&](AVFrame* frame) { return job.add(frame); };
    if (!job.open(input, letterbox, maxWidth, maxHeight, from) ||
        !decodeStream(job.in, job.decoder.get(), job.index, add, progress, error) || !job.finish(output))
        return false;
    to.codec = job.h264 ? "H.264 in MP4" : "MJPEG in AVI";
    to.width = job.frameW;
    to.height = job.frameH;
    to.aspect = double(to.width) * job.enc->sample_aspect_ratio.num / job.enc->sample_aspect_ratio.den / to.height;
    to.fps = av_q2d(job.rate);
    to.frames = job.frames;
    to.seconds = job.frames / to.fps;
    return true;
}

} // namespace rvlpack
