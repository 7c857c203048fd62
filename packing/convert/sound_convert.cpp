// SPDX-License-Identifier: GPL-3.0-or-later
// Sound conversion: decode, resample and mix down with swresample, buffer
// into the encoder's frame size, encode with libvorbis, mux into Ogg.
#include "packing/convert/sound_convert.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace rvlpack {

namespace {
const int maxRate = 48000;
const int vorbisQuality = 5;
}

std::string describeSound(const SoundFacts& f) {
    std::string layout = f.channels == 1 ? "mono" : f.channels == 2 ? "stereo" : std::to_string(f.channels) + " channels";
    return f.codec + ", " + std::to_string(f.rate) + " Hz, " + layout + ", " + minutesSeconds(f.seconds);
}

SoundOutcome convertSound(const std::vector<uint8_t>& input, std::vector<uint8_t>& output, SoundFacts& from,
                          SoundFacts& to, std::string& error, const ProgressFn& progress) {
    InputFile in(input);
    if (!in.open(error)) return SoundOutcome::Failed;
    int index = in.firstStream(AVMEDIA_TYPE_AUDIO);
    if (index < 0) {
        error = "it holds no sound stream";
        return SoundOutcome::NoSoundStream;
    }
    CodecPtr decoder = in.openDecoder(index, error);
    if (!decoder) return SoundOutcome::Failed;
    ChannelLayout inLayout;
    if (decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || decoder->ch_layout.nb_channels == 0)
        av_channel_layout_default(&inLayout.layout, std::max(1, decoder->ch_layout.nb_channels));
    else if (av_channel_layout_copy(&inLayout.layout, &decoder->ch_layout) < 0) {
        error = "out of memory (av_channel_layout_copy)";
        return SoundOutcome::Failed;
    }
    from.codec = avcodec_get_name(decoder->codec_id);
    from.rate = decoder->sample_rate;
    from.channels = inLayout.layout.nb_channels;
    if (from.rate <= 0) {
        error = "its sample rate is unknown";
        return SoundOutcome::Failed;
    }

    const AVCodec* vorbis = avcodec_find_encoder_by_name("libvorbis");
    CodecPtr enc(vorbis ? avcodec_alloc_context3(vorbis) : nullptr);
    if (!enc) {
        error = "FFmpeg has no libvorbis encoder";
        return SoundOutcome::Failed;
    }
    enc->sample_rate = std::min(from.rate, maxRate);
    av_channel_layout_default(&enc->ch_layout, from.channels == 1 ? 1 : 2);
    enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
    enc->time_base = AVRational{1, enc->sample_rate};
    enc->flags |= AV_CODEC_FLAG_QSCALE | AV_CODEC_FLAG_BITEXACT;
    enc->global_quality = vorbisQuality * FF_QP2LAMBDA;
    OutputFile out;
    if (!out.open("ogg", error)) {
        return SoundOutcome::Failed;
    }
    if (out.format()->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = avcodec_open2(enc.get(), vorbis, nullptr);
    if (code < 0) {
        error = "cannot open the libvorbis encoder (avcodec_open2: " + avError(code) + ")";
        return SoundOutcome::Failed;
    }
    AVStream* stream = out.addStream(enc.get(), error);
    SwrContext* rawSwr = nullptr;
    code = swr_alloc_set_opts2(&rawSwr, &enc->ch_layout, enc->sample_fmt, enc->sample_rate, &inLayout.layout,
                               decoder->sample_fmt, decoder->sample_rate, 0, nullptr);
    SwrPtr swr(rawSwr);
    if (code < 0 || swr_init(swr.get()) < 0) {
        error = "cannot set up the resampler (swr_init)";
        return SoundOutcome::Failed;
    }
    if (!stream || !out.writeHeader(error)) return SoundOutcome::Failed;

    int channels = enc->ch_layout.nb_channels;
    int frameSize = enc->frame_size > 0 ? enc->frame_size : 1024;
    FifoPtr fifo(av_audio_fifo_alloc(enc->sample_fmt, channels, frameSize * 4));
    FramePtr chunk(av_frame_alloc());
    if (!fifo || !chunk) {
        error = "out of memory";
        return SoundOutcome::Failed;
    }
    int64_t written = 0;
    // Moves whole encoder frames (and at the end the rest) from the FIFO to the encoder.
    auto encodeFifo = [&](bool flush) {
        while (av_audio_fifo_size(fifo.get()) >= frameSize || (flush && av_audio_fifo_size(fifo.get()) > 0)) {
            int n = std::min(frameSize, av_audio_fifo_size(fifo.get()));
            av_frame_unref(chunk.get());
            chunk->nb_samples = n;
            chunk->format = enc->sample_fmt;
            chunk->sample_rate = enc->sample_rate;
            av_channel_layout_copy(&chunk->ch_layout, &enc->ch_layout);
            if (av_frame_get_buffer(chunk.get(), 0) < 0) {
                error = "out of memory";
                return false;
            }
            av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(chunk->data), n);
            chunk->pts = written;
            written += n;
            if (!out.encode(enc.get(), stream, chunk.get(), error)) return false;
        }
        return true;
    };
    // Resamples frame (null drains the resampler) into the FIFO.
    auto resample = [&](const AVFrame* frame) {
        int room = swr_get_out_samples(swr.get(), frame ? frame->nb_samples : 0);
        if (room <= 0) return true;
        uint8_t** buffers = nullptr;
        if (av_samples_alloc_array_and_samples(&buffers, nullptr, channels, room, enc->sample_fmt, 0) < 0) {
            error = "out of memory";
            return false;
        }
        int got = swr_convert(swr.get(), buffers, room, frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                              frame ? frame->nb_samples : 0);
        bool ok = got >= 0 && (got == 0 || av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(buffers), got) == got);
        av_freep(&buffers[0]);
        av_freep(&buffers);
        if (!ok) error = "the resampler failed (swr_convert)";
        return ok;
    };
    bool ok = decodeStream(
        in, decoder.get(), index, [&](AVFrame* frame) { return resample(frame) && encodeFifo(false); }, progress, error);
    ok = ok && resample(nullptr) && encodeFifo(true) && out.encode(enc.get(), stream, nullptr, error) &&
         out.finish(output, error);
    if (!ok) return SoundOutcome::Failed;
    to.codec = "Ogg Vorbis q5";
    to.rate = enc->sample_rate;
    to.channels = channels;
    to.seconds = written / double(enc->sample_rate);
    from.seconds = to.seconds;
    if (written == 0) {
        error = "it decodes to no sound at all";
        return SoundOutcome::Failed;
    }
    return SoundOutcome::Converted;
}

} // namespace rvlpack
