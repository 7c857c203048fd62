// SPDX-License-Identifier: GPL-3.0-or-later
// Media makers on FFmpeg's encoders, through the pack tool's own
// in-memory muxer.
#include "tests/support/av_media.h"

#include <cmath>
#include <iterator>

#include "packing/convert/av_support.h"

extern "C" {
#include <libavutil/opt.h>
}

using namespace rvlpack;

namespace testing_support {

namespace {

// Plain 4:2:0 YUV, as cameras and phones write; GIF has only palettes.
AVPixelFormat pixelFormatFor(const AVCodec* codec) {
    if (codec->id == AV_CODEC_ID_MJPEG) return AV_PIX_FMT_YUVJ420P;
    return codec->id == AV_CODEC_ID_GIF ? AV_PIX_FMT_RGB8 : AV_PIX_FMT_YUV420P;
}

void paint(std::vector<uint8_t>& rgb, int w, int h, int frame) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool corner = x < w / 8 && y < h / 8;
            uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = corner ? 255 : static_cast<uint8_t>(100 + frame % 20 * 4);  // frames tell apart
            p[1] = p[2] = corner ? 0 : 100;
        }
}

CodecPtr openEncoder(const char* name, const std::function<void(AVCodecContext*)>& setup, bool globalHeader) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    CodecPtr ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!ctx) return nullptr;
    setup(ctx.get());
    if (globalHeader) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
    return ctx;
}

} // namespace

std::vector<uint8_t> makeClip(const ClipSpec& spec) {
    std::string error;
    OutputFile out;
    if (!out.open(spec.container, error)) return {};
    bool global = out.format()->oformat->flags & AVFMT_GLOBALHEADER;
    CodecPtr video, audio;
    AVStream *vs = nullptr, *as = nullptr;
    if (spec.videoCodec) {
        video = openEncoder(spec.videoCodec, [&](AVCodecContext* c) {
            c->width = spec.width;
            c->height = spec.height;
            c->time_base = AVRational{1, spec.fps};
            c->framerate = AVRational{spec.fps, 1};
            c->pix_fmt = pixelFormatFor(c->codec);
            c->global_quality = 3 * FF_QP2LAMBDA;
            c->flags |= AV_CODEC_FLAG_QSCALE;
        }, global);
        if (!video || !(vs = out.addStream(video.get(), error))) return {};
    }
    if (spec.audioCodec) {
        audio = openEncoder(spec.audioCodec, [&](AVCodecContext* c) {
            c->sample_rate = spec.rate;
            av_channel_layout_default(&c->ch_layout, spec.channels);
            c->sample_fmt = AV_SAMPLE_FMT_FLTP;  // what the AAC and MP3 encoders both take
            c->time_base = AVRational{1, spec.rate};
            c->bit_rate = 128000;
        }, global);
        if (!audio || !(as = out.addStream(audio.get(), error))) return {};
    }
    if (!out.writeHeader(error)) return {};
    out.packetDuration = 1;  // a frame: the last one's length is recorded, as cameras do
    if (video) {
        FramePtr frame(av_frame_alloc());
        frame->format = video->pix_fmt;
        frame->width = spec.width;
        frame->height = spec.height;
        av_frame_get_buffer(frame.get(), 0);
        std::vector<uint8_t> rgb(static_cast<size_t>(spec.width) * spec.height * 3);
        const uint8_t* src = rgb.data();
        const int stride = spec.width * 3;
        SwsPtr sws(sws_getContext(spec.width, spec.height, AV_PIX_FMT_RGB24, spec.width, spec.height, video->pix_fmt,
                                  SWS_POINT, nullptr, nullptr, nullptr));
        for (int i = 0; i < spec.frames; ++i) {
            paint(rgb, spec.width, spec.height, i);
            av_frame_make_writable(frame.get());
            sws_scale(sws.get(), &src, &stride, 0, spec.height, frame->data, frame->linesize);
            frame->pts = i + (spec.pauseAfter && i >= spec.pauseAfter ? spec.pauseFrames : 0);
            if (!out.encode(video.get(), vs, frame.get(), error)) return {};
        }
        if (!out.encode(video.get(), vs, nullptr, error)) return {};
    }
    if (audio) {
        int total = static_cast<int>(std::lround(spec.seconds * spec.rate));
        int step = audio->frame_size > 0 ? audio->frame_size : 1024;
        FramePtr frame(av_frame_alloc());
        for (int done = 0; done < total; done += step) {
            av_frame_unref(frame.get());
            frame->nb_samples = std::min(step, total - done);
            frame->format = audio->sample_fmt;
            frame->sample_rate = spec.rate;
            av_channel_layout_copy(&frame->ch_layout, &audio->ch_layout);
            av_frame_get_buffer(frame.get(), 0);
            for (int i = 0; i < frame->nb_samples; ++i) {
                float v = float(0.3 * std::sin(2 * M_PI * 440 * (done + i) / spec.rate));
                for (int ch = 0; ch < spec.channels; ++ch) reinterpret_cast<float*>(frame->data[ch])[i] = v;
            }
            frame->pts = done;
            if (!out.encode(audio.get(), as, frame.get(), error)) return {};
        }
        if (!out.encode(audio.get(), as, nullptr, error)) return {};
    }
    std::vector<uint8_t> bytes;
    return out.finish(bytes, error) ? bytes : std::vector<uint8_t>{};
}

std::vector<uint8_t> makeJpegWithOrientation(int w, int h, int orientation) {
    std::vector<uint8_t> jpeg = makeClip({"mjpeg", "mjpeg", w, h, 1});
    // APP1 right after the start-of-image marker: "Exif\0\0", a little-endian
    // TIFF header, and one IFD holding the orientation (tag 0x0112, a SHORT).
    const uint8_t app1[] = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                            1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, uint8_t(orientation), 0, 0, 0, 0, 0, 0, 0};
    if (jpeg.size() > 2) jpeg.insert(jpeg.begin() + 2, std::begin(app1), std::end(app1));
    return jpeg;
}

} // namespace testing_support
