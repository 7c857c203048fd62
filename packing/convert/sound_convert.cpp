// SPDX-License-Identifier: GPL-3.0-or-later
// Sound conversion: decode, resample and mix down with swresample, buffer
// into the encoder's frame size, encode with libvorbis, mux into Ogg.
#include "packing/convert/sound_convert.h"

#include <utility>

extern "C" {
#include <libavutil/opt.h>
}

#include "platform/texts.h"

namespace rvlpack {

namespace {

const int maxRate = 48000;
const int vorbisQuality = 5;

// The layout the resampler is told: an unspecified order becomes the usual
// one for that many channels.
int inputLayout(const AVChannelLayout& given, AVChannelLayout& layout) {
    if (given.order != AV_CHANNEL_ORDER_UNSPEC && given.nb_channels > 0) return av_channel_layout_copy(&layout, &given);
    av_channel_layout_default(&layout, std::max(1, given.nb_channels));
    return 0;
}

// One conversion in three steps: open sets up the decoder, the libvorbis
// encoder, the Ogg muxer and the resampler; each decoded frame goes through
// the resampler into a FIFO, and from it to the encoder in the encoder's
// frame size; finish drains all of them in that order and closes the file.
struct SoundJob {
    InputFile in;
    std::string& error;
    int index = -1;
    CodecPtr decoder, enc;
    ChannelLayout inLayout;  // what the resampler takes
    int inRate = 0, inFormat = AV_SAMPLE_FMT_NONE;
    OutputFile out;
    AVStream* stream = nullptr;
    SwrPtr swr;
    FifoPtr fifo;
    FramePtr chunk;
    int frameSize = 0;
    int64_t written = 0;

    SoundJob(const std::vector<uint8_t>& input, std::string& e) : in(input), error(e) {}

    SoundOutcome open(SoundFacts& from) {
        if (!in.open(error)) return SoundOutcome::Failed;
        index = in.firstStream(AVMEDIA_TYPE_AUDIO);
        if (index < 0) {
            error = tr("it holds no sound stream");
            return SoundOutcome::NoSoundStream;
        }
        decoder = in.openDecoder(index, error);
        if (!decoder) return SoundOutcome::Failed;
        if (!succeeded(inputLayout(decoder->ch_layout, inLayout.layout), tr("out of memory"), "av_channel_layout_copy", error))
            return SoundOutcome::Failed;
        inRate = decoder->sample_rate;
        inFormat = decoder->sample_fmt;
        from.codec = avcodec_get_name(decoder->codec_id);
        from.rate = decoder->sample_rate;
        from.channels = inLayout.layout.nb_channels;
        if (from.rate <= 0) {
            error = tr("its sample rate is unknown");
            return SoundOutcome::Failed;
        }
        if (!openEncoder(std::min(from.rate, maxRate), from.channels == 1 ? 1 : 2)) return SoundOutcome::Failed;
        stream = out.addStream(enc.get(), error);
        if (!makeResampler() || !stream || !out.writeHeader(error)) return SoundOutcome::Failed;
        frameSize = enc->frame_size > 0 ? enc->frame_size : 1024;
        fifo.reset(av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, frameSize * 4));
        chunk.reset(av_frame_alloc());
        bool ready = allocated(fifo.get(), "av_audio_fifo_alloc", error) && allocated(chunk.get(), "av_frame_alloc", error);
        return ready ? SoundOutcome::Converted : SoundOutcome::Failed;
    }

    bool openEncoder(int rate, int channels) {
        const AVCodec* vorbis = avcodec_find_encoder_by_name("libvorbis");
        if (!vorbis) {
            error = tr("FFmpeg has no libvorbis encoder");
            return false;
        }
        enc.reset(avcodec_alloc_context3(vorbis));
        if (!allocated(enc.get(), "avcodec_alloc_context3", error)) return false;
        enc->sample_rate = rate;
        av_channel_layout_default(&enc->ch_layout, channels);
        enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
        enc->time_base = AVRational{1, rate};
        enc->flags |= AV_CODEC_FLAG_QSCALE | AV_CODEC_FLAG_BITEXACT;
        enc->global_quality = vorbisQuality * FF_QP2LAMBDA;
        if (!out.open("ogg", error)) return false;
        if (out.format()->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int code = avcodec_open2(enc.get(), vorbis, nullptr);
        if (code < 0) error = format(tr("cannot open the libvorbis encoder (avcodec_open2: %s)"), avError(code).c_str());
        return code >= 0;
    }

    bool makeResampler() {
        SwrContext* made = nullptr;
        int code = swr_alloc_set_opts2(&made, &enc->ch_layout, enc->sample_fmt, enc->sample_rate, &inLayout.layout,
                                       static_cast<AVSampleFormat>(inFormat), inRate, 0, nullptr);
        swr.reset(made);
        if (!succeeded(code, tr("cannot set up the resampler"), "swr_alloc_set_opts2", error)) return false;
        if (swr_init(swr.get()) >= 0) return true;
        error = tr("cannot set up the resampler (swr_init)");
        return false;
    }

    // Joined files change rate or channels midway: the resampler gives out
    // what it holds and is made again for the frames that follow.
    bool add(const AVFrame* frame) {
        ChannelLayout layout;
        if (!succeeded(inputLayout(frame->ch_layout, layout.layout), tr("out of memory"), "av_channel_layout_copy", error))
            return false;
        if (frame->sample_rate != inRate || frame->format != inFormat ||
            av_channel_layout_compare(&layout.layout, &inLayout.layout) != 0) {
            if (!resample(nullptr)) return false;
            std::swap(inLayout.layout, layout.layout);
            inRate = frame->sample_rate;
            inFormat = frame->format;
            if (!makeResampler()) return false;
        }
        return resample(frame) && encodeFifo(false);
    }

    // Resamples frame (null drains the resampler) into the FIFO.
    bool resample(const AVFrame* frame) {
        int room = swr_get_out_samples(swr.get(), frame ? frame->nb_samples : 0);
        if (room <= 0) return true;
        uint8_t** buffers = nullptr;
        int channels = enc->ch_layout.nb_channels;
        if (!succeeded(av_samples_alloc_array_and_samples(&buffers, nullptr, channels, room, enc->sample_fmt, 0),
                       tr("out of memory"), "av_samples_alloc_array_and_samples", error))
            return false;
        int got = swr_convert(swr.get(), buffers, room, frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                              frame ? frame->nb_samples : 0);
        if (got < 0) error = tr("the resampler failed (swr_convert)");
        bool ok = got >= 0 && (got == 0 || av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(buffers), got) == got);
        if (got > 0 && !ok) error = tr("out of memory (av_audio_fifo_write)");
        av_freep(&buffers[0]);
        av_freep(&buffers);
        return ok;
    }

    // Moves whole encoder frames (and when flushing the rest) from the FIFO to the encoder.
    bool encodeFifo(bool flush) {
        while (av_audio_fifo_size(fifo.get()) >= frameSize || (flush && av_audio_fifo_size(fifo.get()) > 0)) {
            int n = std::min(frameSize, av_audio_fifo_size(fifo.get()));
            av_frame_unref(chunk.get());
            chunk->nb_samples = n;
            chunk->format = enc->sample_fmt;
            chunk->sample_rate = enc->sample_rate;
            if (!succeeded(av_channel_layout_copy(&chunk->ch_layout, &enc->ch_layout), tr("out of memory"),
                           "av_channel_layout_copy", error) ||
                !succeeded(av_frame_get_buffer(chunk.get(), 0), tr("out of memory"), "av_frame_get_buffer", error))
                return false;
            if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(chunk->data), n) != n) {
                error = tr("the sound buffer came short (av_audio_fifo_read)");
                return false;
            }
            chunk->pts = written;
            written += n;
            if (!out.encode(enc.get(), stream, chunk.get(), error)) return false;
        }
        return true;
    }

    bool finish(std::vector<uint8_t>& output) {
        return resample(nullptr) && encodeFifo(true) && out.encode(enc.get(), stream, nullptr, error) &&
               out.finish(output, error);
    }
};

} // namespace

std::string describeSound(const SoundFacts& f) {
    std::string layout = f.channels == 1 ? tr("mono") : f.channels == 2 ? tr("stereo") : format(tr("%d channels"), f.channels);
    return f.codec + ", " + std::to_string(f.rate) + " Hz, " + layout + ", " + minutesSeconds(f.seconds);
}

SoundOutcome convertSound(const std::vector<uint8_t>& input, std::vector<uint8_t>& output, SoundFacts& from,
                          SoundFacts& to, std::string& error, const ProgressFn& progress) {
    SoundJob job(input, error);
    SoundOutcome opened = job.open(from);
    if (opened != SoundOutcome::Converted) return opened;
    auto add = [&](AVFrame* frame) { return job.add(frame); };
    if (!decodeStream(job.in, job.decoder.get(), job.index, add, progress, error) || !job.finish(output))
        return SoundOutcome::Failed;
    to.codec = "Ogg Vorbis q5";
    to.rate = job.enc->sample_rate;
    to.channels = job.enc->ch_layout.nb_channels;
    to.seconds = job.written / double(job.enc->sample_rate);
    from.seconds = to.seconds;
    if (job.written == 0) {
        error = tr("it decodes to no sound at all");
        return SoundOutcome::Failed;
    }
    return SoundOutcome::Converted;
}

} // namespace rvlpack
