// SPDX-License-Identifier: GPL-3.0-or-later
// Video re-encode: decode with FFmpeg, scale with swscale's area filter into
// a black 4:3 frame when letterboxing, encode with libx264 at constant
// quality (MJPEG otherwise), frame after frame at the source's rate.
#include "packing/convert/video_convert.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

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
    snprintf(text, sizeof text, "%s %dx%d (display aspect %.2f), %.3g fps, ", f.codec.c_str(), f.width, f.height,
             f.aspect, f.fps);
    return text + minutesSeconds(f.seconds);
}

// Opens the input and its first video stream and reads that stream's facts;
// -1, with the reason in error, when either is missing.
static int openFirstVideo(InputFile& in, VideoFacts& facts, std::string& error) {
    if (!in.open(error)) return -1;
    int index = in.firstStream(AVMEDIA_TYPE_VIDEO);
    if (index < 0 || !factsOf(in, index, facts)) {
        error = "FFmpeg finds no picture in it";
        return -1;
    }
    return index;
}

bool readVideoFacts(const std::vector<uint8_t>& input, VideoFacts& facts, std::string& error) {
    InputFile in(input);
    return openFirstVideo(in, facts, error) >= 0;
}

double videoPacketsEnd(const std::vector<uint8_t>& input) {
    InputFile in(input);
    VideoFacts facts;
    std::string error;
    int index = openFirstVideo(in, facts, error);
    PacketPtr packet(av_packet_alloc());
    if (index < 0 || !packet) return 0;
    AVStream* stream = in.format()->streams[index];
    int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0, end = 0;
    while (av_read_frame(in.format(), packet.get()) >= 0) {
        if (packet->stream_index == index && packet->pts != AV_NOPTS_VALUE)
            end = std::max(end, packet->pts + std::max<int64_t>(packet->duration, 0) - start);
        av_packet_unref(packet.get());
    }
    return end * av_q2d(stream->time_base);
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

bool convertVideo(const std::vector<uint8_t>& input, bool letterbox, int maxWidth, int maxHeight,
                  std::vector<uint8_t>& output, VideoFacts& from, VideoFacts& to, std::string& error,
                  const ProgressFn& progress) {
    InputFile in(input);
    int index = openFirstVideo(in, from, error);
    if (index < 0) return false;
    CodecPtr decoder = in.openDecoder(index, error);
    if (!decoder) return false;
    // A constant rate: the source's average, held between 1 and 60 frames a
    // second; frames are placed by their timestamps, repeated over pauses and
    // dropped where they come faster, so that the clip keeps its length.
    AVStream* source = in.format()->streams[index];
    AVRational rate = source->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = av_guess_frame_rate(in.format(), source, nullptr);
    if (rate.num <= 0 || rate.den <= 0) rate = AVRational{25, 1};
    if (av_q2d(rate) > 60) rate = AVRational{60, 1};
    if (av_q2d(rate) < 1) rate = AVRational{1, 1};
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, 1 << 16);
    const double slotsPerTick = av_q2d(source->time_base) * av_q2d(rate);
    int64_t first = AV_NOPTS_VALUE;
    // A forged timestamp or length must not make it encode for hours: one
    // picture is held for a minute at most, and nothing far past the source's end.
    const int64_t longestHold = std::llround(60 * av_q2d(rate));
    const int64_t sourceEnd = from.seconds > 0 ? std::llround(from.seconds * av_q2d(rate)) : INT64_MAX;
    const int64_t lastSlot = from.seconds > 0 ? std::llround((from.seconds * 1.1 + 1) * av_q2d(rate)) : INT64_MAX;

    // The picture as shown (display aspect), fitted into the frame.
    double aspect = from.aspect > 0 ? from.aspect : double(from.width) / from.height;
    int frameW, frameH, pictureW, pictureH;
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
    int left = (frameW - pictureW) / 2 / 2 * 2, top = (frameH - pictureH) / 2 / 2 * 2;

    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    const AVCodec* codec = h264 ? h264 : avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    CodecPtr enc(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!enc) {
        error = "FFmpeg has neither a libx264 nor an MJPEG encoder";
        return false;
    }
    enc->width = frameW;
    enc->height = frameH;
    enc->time_base = av_inv_q(rate);
    enc->framerate = rate;
    enc->sample_aspect_ratio = letterbox ? AVRational{frameH * 4, frameW * 3} : AVRational{1, 1};
    av_reduce(&enc->sample_aspect_ratio.num, &enc->sample_aspect_ratio.den, enc->sample_aspect_ratio.num,
              enc->sample_aspect_ratio.den, 1 << 16);
    enc->pix_fmt = h264 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUVJ420P;
    enc->flags |= AV_CODEC_FLAG_BITEXACT;
    enc->thread_count = 2;  // fixed, so that every machine writes the same bytes
    AVDictionary* options = nullptr;
    if (h264) {
        av_dict_set(&options, "crf", x264Quality, 0);
        av_dict_set(&options, "preset", "fast", 0);
    } else {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = mjpegQuality * FF_QP2LAMBDA;
    }
    OutputFile out;
    if (!out.open(h264 ? "mp4" : "avi", error)) {
        av_dict_free(&options);
        return false;
    }
    if (out.format()->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = avcodec_open2(enc.get(), codec, &options);
    av_dict_free(&options);
    if (code < 0) {
        error = std::string("cannot open the ") + codec->name + " encoder (avcodec_open2: " + avError(code) + ")";
        return false;
    }
    AVStream* stream = out.addStream(enc.get(), error);
    if (!stream || !out.writeHeader(error)) return false;

    FramePtr picture(av_frame_alloc());
    if (!picture) {
        error = "out of memory";
        return false;
    }
    picture->format = enc->pix_fmt;
    picture->width = frameW;
    picture->height = frameH;
    if (av_frame_get_buffer(picture.get(), 0) < 0) {
        error = "out of memory";
        return false;
    }
    SwsContext* sws = nullptr;  // made for the first frame's format, remade if it changes
    SwsPtr swsHolder;
    int64_t frames = 0;
    bool ok = decodeStream(
        in, decoder.get(), index,
        [&](AVFrame* frame) {
            sws = sws_getCachedContext(sws, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                       pictureW, pictureH, enc->pix_fmt, SWS_AREA | SWS_ACCURATE_RND, nullptr,
                                       nullptr, nullptr);
            swsHolder.release();
            swsHolder.reset(sws);
            if (!sws || av_frame_make_writable(picture.get()) < 0) {
                error = "cannot set up the scaler (sws_getCachedContext)";
                return false;
            }
            // Black bars: luma 16 (0 for full-range MJPEG), chroma 128.
            memset(picture->data[0], h264 ? 16 : 0, static_cast<size_t>(picture->linesize[0]) * frameH);
            memset(picture->data[1], 128, static_cast<size_t>(picture->linesize[1]) * (frameH / 2));
            memset(picture->data[2], 128, static_cast<size_t>(picture->linesize[2]) * (frameH / 2));
            uint8_t* planes[3] = {picture->data[0] + top * picture->linesize[0] + left,
                                  picture->data[1] + top / 2 * picture->linesize[1] + left / 2,
                                  picture->data[2] + top / 2 * picture->linesize[2] + left / 2};
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, planes, picture->linesize);
            int64_t stamp = frame->best_effort_timestamp;
            if (stamp != AV_NOPTS_VALUE && first == AV_NOPTS_VALUE) first = stamp;
            int64_t slot = stamp == AV_NOPTS_VALUE ? frames : std::llround((stamp - first) * slotsPerTick);
            if (frames == 0) slot = 0;
            slot = std::min({slot, frames + longestHold, lastSlot});
            for (; frames <= slot; ++frames) {
                picture->pts = frames;
                if (!out.encode(enc.get(), stream, picture.get(), error)) return false;
            }
            return true;
        },
        progress, error);
    // The last picture stays up to the source's end.
    for (int64_t end = std::min(sourceEnd, frames + longestHold); ok && frames > 0 && frames < end; ++frames) {
        picture->pts = frames;
        ok = out.encode(enc.get(), stream, picture.get(), error);
    }
    ok = ok && out.encode(enc.get(), stream, nullptr, error) && out.finish(output, error);
    if (!ok) return false;
    if (frames == 0) {
        error = "it decodes to no frames";
        return false;
    }
    to.codec = h264 ? "H.264 in MP4" : "MJPEG in AVI";
    to.width = frameW;
    to.height = frameH;
    to.aspect = double(frameW) * enc->sample_aspect_ratio.num / enc->sample_aspect_ratio.den / frameH;
    to.fps = av_q2d(rate);
    to.frames = frames;
    to.seconds = frames / to.fps;
    return true;
}

} // namespace rvlpack
