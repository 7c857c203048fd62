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

// One conversion in three steps: open sets up the decoder, the libvorbis
// encoder, the Ogg muxer and the resampler; each decoded frame goes through
// the resampler into a FIFO, and from it to the encoder in the encoder's
// frame size; finish drains all of them in that order and closes the file.
class SoundJob {
public:
    SoundJob(const std::vector<uint8_t>& input, std::string& error) : in_(input), error_(error) {}
    SoundOutcome open(SoundFacts& from);
    bool decode(const ProgressFn& progress) {
        return decodeStream(in_, decoder_.get(), index_, [this](AVFrame* frame) { return resample(frame) && encodeFifo(false); },
                            progress, error_);
    }
    bool finish(std::vector<uint8_t>& output) {
        return resample(nullptr) && encodeFifo(true) && out_.encode(enc_.get(), stream_, nullptr, error_) &&
               out_.finish(output, error_);
    }
    const AVCodecContext& encoder() const { return *enc_; }
    int64_t written() const { return written_; }

private:
    bool openEncoder(int rate, int channels);
    bool resample(const AVFrame* frame);
    bool encodeFifo(bool flush);

    InputFile in_;
    std::string& error_;
    int index_ = -1;
    CodecPtr decoder_;
    CodecPtr enc_;
    OutputFile out_;
    AVStream* stream_ = nullptr;
    SwrPtr swr_;
    FifoPtr fifo_;
    FramePtr chunk_;
    int frameSize_ = 0;
    int64_t written_ = 0;
};

SoundOutcome SoundJob::open(SoundFacts& from) {
    if (!in_.open(error_)) return SoundOutcome::Failed;
    index_ = in_.firstStream(AVMEDIA_TYPE_AUDIO);
    if (index_ < 0) {
        error_ = "it holds no sound stream";
        return SoundOutcome::NoSoundStream;
    }
    decoder_ = in_.openDecoder(index_, error_);
    if (!decoder_) return SoundOutcome::Failed;
    ChannelLayout inLayout;
    if (decoder_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || decoder_->ch_layout.nb_channels == 0)
        av_channel_layout_default(&inLayout.layout, std::max(1, decoder_->ch_layout.nb_channels));
    else if (av_channel_layout_copy(&inLayout.layout, &decoder_->ch_layout) < 0) {
        error_ = "out of memory (av_channel_layout_copy)";
        return SoundOutcome::Failed;
    }
    from.codec = avcodec_get_name(decoder_->codec_id);
    from.rate = decoder_->sample_rate;
    from.channels = inLayout.layout.nb_channels;
    if (from.rate <= 0) {
        error_ = "its sample rate is unknown";
        return SoundOutcome::Failed;
    }
    if (!openEncoder(std::min(from.rate, maxRate), from.channels == 1 ? 1 : 2)) return SoundOutcome::Failed;
    stream_ = out_.addStream(enc_.get(), error_);
    SwrContext* swr = nullptr;
    int code = swr_alloc_set_opts2(&swr, &enc_->ch_layout, enc_->sample_fmt, enc_->sample_rate, &inLayout.layout,
                                   decoder_->sample_fmt, decoder_->sample_rate, 0, nullptr);
    swr_.reset(swr);
    if (code < 0 || swr_init(swr_.get()) < 0) {
        error_ = "cannot set up the resampler (swr_init)";
        return SoundOutcome::Failed;
    }
    if (!stream_ || !out_.writeHeader(error_)) return SoundOutcome::Failed;
    frameSize_ = enc_->frame_size > 0 ? enc_->frame_size : 1024;
    fifo_.reset(av_audio_fifo_alloc(enc_->sample_fmt, enc_->ch_layout.nb_channels, frameSize_ * 4));
    chunk_.reset(av_frame_alloc());
    if (!fifo_ || !chunk_) {
        error_ = "out of memory";
        return SoundOutcome::Failed;
    }
    return SoundOutcome::Converted;
}

bool SoundJob::openEncoder(int rate, int channels) {
    const AVCodec* vorbis = avcodec_find_encoder_by_name("libvorbis");
    enc_.reset(vorbis ? avcodec_alloc_context3(vorbis) : nullptr);
    if (!enc_) {
        error_ = "FFmpeg has no libvorbis encoder";
        return false;
    }
    enc_->sample_rate = rate;
    av_channel_layout_default(&enc_->ch_layout, channels);
    enc_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    enc_->time_base = AVRational{1, rate};
    enc_->flags |= AV_CODEC_FLAG_QSCALE | AV_CODEC_FLAG_BITEXACT;
    enc_->global_quality = vorbisQuality * FF_QP2LAMBDA;
    if (!out_.open("ogg", error_)) return false;
    if (out_.format()->oformat->flags & AVFMT_GLOBALHEADER) enc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = avcodec_open2(enc_.get(), vorbis, nullptr);
    if (code < 0) {
        error_ = "cannot open the libvorbis encoder (avcodec_open2: " + avError(code) + ")";
        return false;
    }
    return true;
}

// Resamples frame (null drains the resampler) into the FIFO.
bool SoundJob::resample(const AVFrame* frame) {
    int room = swr_get_out_samples(swr_.get(), frame ? frame->nb_samples : 0);
    if (room <= 0) return true;
    uint8_t** buffers = nullptr;
    if (av_samples_alloc_array_and_samples(&buffers, nullptr, enc_->ch_layout.nb_channels, room, enc_->sample_fmt, 0) < 0) {
        error_ = "out of memory";
        return false;
    }
    int got = swr_convert(swr_.get(), buffers, room, frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                          frame ? frame->nb_samples : 0);
    bool ok = got >= 0 && (got == 0 || av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(buffers), got) == got);
    av_freep(&buffers[0]);
    av_freep(&buffers);
    if (!ok) error_ = "the resampler failed (swr_convert)";
    return ok;
}

// Moves whole encoder frames (and when flushing the rest) from the FIFO to the encoder.
bool SoundJob::encodeFifo(bool flush) {
    while (av_audio_fifo_size(fifo_.get()) >= frameSize_ || (flush && av_audio_fifo_size(fifo_.get()) > 0)) {
        int n = std::min(frameSize_, av_audio_fifo_size(fifo_.get()));
        av_frame_unref(chunk_.get());
        chunk_->nb_samples = n;
        chunk_->format = enc_->sample_fmt;
        chunk_->sample_rate = enc_->sample_rate;
        av_channel_layout_copy(&chunk_->ch_layout, &enc_->ch_layout);
        if (av_frame_get_buffer(chunk_.get(), 0) < 0) {
            error_ = "out of memory";
            return false;
        }
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(chunk_->data), n);
        chunk_->pts = written_;
        written_ += n;
        if (!out_.encode(enc_.get(), stream_, chunk_.get(), error_)) return false;
    }
    return true;
}

} // namespace

std::string describeSound(const SoundFacts& f) {
    std::string layout = f.channels == 1 ? "mono" : f.channels == 2 ? "stereo" : std::to_string(f.channels) + " channels";
    return f.codec + ", " + std::to_string(f.rate) + " Hz, " + layout + ", " + minutesSeconds(f.seconds);
}

SoundOutcome convertSound(const std::vector<uint8_t>& input, std::vector<uint8_t>& output, SoundFacts& from,
                          SoundFacts& to, std::string& error, const ProgressFn& progress) {
    SoundJob job(input, error);
    SoundOutcome opened = job.open(from);
    if (opened != SoundOutcome::Converted) return opened;
    if (!job.decode(progress) || !job.finish(output)) return SoundOutcome::Failed;
    const AVCodecContext& enc = job.encoder();
    to.codec = "Ogg Vorbis q5";
    to.rate = enc.sample_rate;
    to.channels = enc.ch_layout.nb_channels;
    to.seconds = job.written() / double(enc.sample_rate);
    from.seconds = to.seconds;
    if (job.written() == 0) {
        error = "it decodes to no sound at all";
        return SoundOutcome::Failed;
    }
    return SoundOutcome::Converted;
}

} // namespace rvlpack
