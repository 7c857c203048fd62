// SPDX-License-Identifier: GPL-3.0-or-later
// FFmpeg plumbing shared by the sound, picture and video conversions.
#include "packing/convert/av_support.h"

#include <cstring>

#include "platform/texts.h"

namespace rvlpack {

namespace {
const int ioBufferSize = 64 * 1024;
}

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool allocated(const void* made, const char* call, std::string& error) {
    if (!made) error = ::format(tr("out of memory (%s)"), call);
    return made != nullptr;
}

bool succeeded(int code, const std::string& what, const char* call, std::string& error) {
    if (code < 0) error = what + " (" + call + ": " + avError(code) + ")";
    return code >= 0;
}

std::string byteSize(uint64_t bytes) {
    char text[32];
    if (bytes >= 1000 * 1000)
        snprintf(text, sizeof text, tr("%.1f MB"), bytes / 1e6);
    else if (bytes >= 1000)
        snprintf(text, sizeof text, tr("%.0f KB"), bytes / 1e3);
    else
        snprintf(text, sizeof text, tr("%u bytes"), static_cast<unsigned>(bytes));
    return text;
}

std::string minutesSeconds(double seconds) {
    int whole = static_cast<int>(seconds + 0.5);
    return std::to_string(whole / 60) + (whole % 60 < 10 ? ":0" : ":") + std::to_string(whole % 60);
}

double streamSeconds(const AVFormatContext* format, const AVStream* stream) {
    if (stream->duration > 0) return stream->duration * av_q2d(stream->time_base);
    return format->duration > 0 ? format->duration / double(AV_TIME_BASE) : 0;
}

MemoryStream::~MemoryStream() {
    if (io_) av_freep(&io_->buffer);
    avio_context_free(&io_);
}

AVIOContext* MemoryStream::context(bool writable) {
    if (io_) return io_;
    auto* buffer = static_cast<unsigned char*>(av_malloc(ioBufferSize));
    if (!buffer) return nullptr;
    io_ = avio_alloc_context(buffer, ioBufferSize, writable ? 1 : 0, this, writable ? nullptr : &MemoryStream::read,
                             writable ? &MemoryStream::write : nullptr, &MemoryStream::seek);
    if (!io_) av_free(buffer);
    return io_;
}

int MemoryStream::read(void* opaque, uint8_t* buf, int size) {
    auto* self = static_cast<MemoryStream*>(opaque);
    if (self->pos_ >= self->data_.size()) return AVERROR_EOF;
    size_t n = std::min(static_cast<size_t>(size), self->data_.size() - self->pos_);
    memcpy(buf, self->data_.data() + self->pos_, n);
    self->pos_ += n;
    return static_cast<int>(n);
}

int MemoryStream::write(void* opaque, uint8_t* buf, int size) {
    auto* self = static_cast<MemoryStream*>(opaque);
    size_t n = static_cast<size_t>(size);
    if (self->data_.size() < self->pos_ + n) self->data_.resize(self->pos_ + n);
    memcpy(self->data_.data() + self->pos_, buf, n);
    self->pos_ += n;
    return size;
}

int64_t MemoryStream::seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<MemoryStream*>(opaque);
    int64_t size = static_cast<int64_t>(self->data_.size());
    if (whence & AVSEEK_SIZE) return size;
    int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<int64_t>(self->pos_); break;
    case SEEK_END: base = size; break;
    default: return AVERROR(EINVAL);
    }
    if (offset < -base || offset > INT64_MAX / 2) return AVERROR(EINVAL);
    self->pos_ = static_cast<size_t>(base + offset);
    return base + offset;
}

bool InputFile::open(std::string& error) {
    format_ = avformat_alloc_context();
    AVIOContext* io = stream_.context(false);
    if (!allocated(format_, "avformat_alloc_context", error) || !allocated(io, "avio_alloc_context", error))
        return false;
    format_->pb = io;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // avformat_open_input frees the context on failure
    return succeeded(avformat_open_input(&format_, nullptr, nullptr, nullptr), tr("FFmpeg cannot read it"),
                     "avformat_open_input", error) &&
           succeeded(avformat_find_stream_info(format_, nullptr), tr("FFmpeg finds no streams in it"),
                     "avformat_find_stream_info", error);
}

int InputFile::firstStream(AVMediaType type) const {
    for (unsigned i = 0; format_ && i < format_->nb_streams; ++i) {
        if (format_->streams[i]->codecpar->codec_type == type &&
            !(format_->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return static_cast<int>(i);
    }
    return -1;
}

CodecPtr InputFile::openDecoder(int index, std::string& error) {
    AVCodecParameters* par = format_->streams[index]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) {
        error = ::format(tr("FFmpeg has no decoder for %s"), avcodec_get_name(par->codec_id));
        return nullptr;
    }
    CodecPtr ctx(avcodec_alloc_context3(codec));
    if (!allocated(ctx.get(), "avcodec_alloc_context3", error)) return nullptr;
    int code = avcodec_parameters_to_context(ctx.get(), par);
    if (code >= 0) {
        ctx->pkt_timebase = format_->streams[index]->time_base;
        ctx->thread_count = 1;  // decoding in one thread keeps the output the same on every machine
        code = avcodec_open2(ctx.get(), codec, nullptr);
    }
    if (code < 0) {
        error = ::format(tr("cannot open the %s decoder (avcodec_open2: %s)"), codec->name, avError(code).c_str());
        return nullptr;
    }
    return ctx;
}

bool decodeStream(InputFile& input, AVCodecContext* decoder, int index, const std::function<bool(AVFrame*)>& onFrame,
                  const ProgressFn& progress, std::string& error) {
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!allocated(packet.get(), "av_packet_alloc", error) || !allocated(frame.get(), "av_frame_alloc", error))
        return false;
    AVFormatContext* format = input.format();
    AVStream* stream = format->streams[index];
    double total = streamSeconds(format, stream);
    // Damaged packets and frames are skipped, but not memory running out.
    auto memoryLeft = [&](int code, const char* call) {
        return code != AVERROR(ENOMEM) || succeeded(code, tr("out of memory"), call, error);
    };
    auto drain = [&]() {
        for (;;) {
            int code = avcodec_receive_frame(decoder, frame.get());
            if (code < 0) return memoryLeft(code, "avcodec_receive_frame");  // EAGAIN and EOF too
            bool ok = onFrame(frame.get());
            av_frame_unref(frame.get());
            if (!ok) return false;
        }
    };
    int code = 0;
    while ((code = av_read_frame(format, packet.get())) >= 0) {
        bool ours = packet->stream_index == index;
        if (ours && progress && total > 0 && packet->pts != AV_NOPTS_VALUE)
            progress(std::min(1.0, packet->pts * av_q2d(stream->time_base) / total));
        int sent = ours ? avcodec_send_packet(decoder, packet.get()) : 0;
        av_packet_unref(packet.get());
        if (ours && (!memoryLeft(sent, "avcodec_send_packet") || !drain())) return false;
    }
    if (code != AVERROR_EOF) return succeeded(code, tr("reading stopped early"), "av_read_frame", error);
    return memoryLeft(avcodec_send_packet(decoder, nullptr), "avcodec_send_packet") && drain();
}

OutputFile::~OutputFile() { avformat_free_context(format_); }

bool OutputFile::open(const char* formatName, std::string& error) {
    int code = avformat_alloc_output_context2(&format_, nullptr, formatName, nullptr);
    if (!succeeded(code, ::format(tr("cannot make a %s file"), formatName), "avformat_alloc_output_context2", error))
        return false;
    AVIOContext* io = stream_.context(true);
    if (!allocated(io, "avio_alloc_context", error)) return false;
    format_->pb = io;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_BITEXACT;
    return true;
}

AVStream* OutputFile::addStream(AVCodecContext* enc, std::string& error) {
    AVStream* stream = avformat_new_stream(format_, nullptr);
    if (!stream) {
        error = tr("cannot add a stream (avformat_new_stream)");
        return nullptr;
    }
    if (!succeeded(avcodec_parameters_from_context(stream->codecpar, enc), tr("cannot add a stream"),
                   "avcodec_parameters_from_context", error))
        return nullptr;
    stream->time_base = enc->time_base;
    return stream;
}

bool OutputFile::writeHeader(std::string& error) {
    return succeeded(avformat_write_header(format_, nullptr), tr("cannot start the output"), "avformat_write_header", error);
}

bool OutputFile::encode(AVCodecContext* enc, AVStream* stream, AVFrame* frame, std::string& error) {
    const char* encoder = enc->codec->name;
    if (!succeeded(avcodec_send_frame(enc, frame), ::format(tr("the %s encoder refused a frame"), encoder),
                   "avcodec_send_frame", error))
        return false;
    PacketPtr packet(av_packet_alloc());
    if (!allocated(packet.get(), "av_packet_alloc", error)) return false;
    for (;;) {
        int code = avcodec_receive_packet(enc, packet.get());
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
        if (!succeeded(code, ::format(tr("the %s encoder failed"), encoder), "avcodec_receive_packet", error)) return false;
        packet->stream_index = stream->index;
        if (packet->duration == 0) packet->duration = packetDuration;
        av_packet_rescale_ts(packet.get(), enc->time_base, stream->time_base);
        if (!succeeded(av_interleaved_write_frame(format_, packet.get()), tr("cannot write a packet"),
                       "av_interleaved_write_frame", error))
            return false;
    }
}

bool OutputFile::finish(std::vector<uint8_t>& out, std::string& error) {
    if (!succeeded(av_write_trailer(format_), tr("cannot finish the output"), "av_write_trailer", error)) return false;
    avio_flush(format_->pb);
    out.swap(stream_.data());
    return true;
}

} // namespace rvlpack
