// SPDX-License-Identifier: GPL-3.0-or-later
// Small RAII holders for FFmpeg's handles, a read/write/seek stream over a
// byte vector (so conversions never touch the disk), and error wording.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rvlpack {

struct CodecFree { void operator()(AVCodecContext* c) const { avcodec_free_context(&c); } };
struct FrameFree { void operator()(AVFrame* f) const { av_frame_free(&f); } };
struct PacketFree { void operator()(AVPacket* p) const { av_packet_free(&p); } };
struct SwrFree { void operator()(SwrContext* s) const { swr_free(&s); } };
struct SwsFree { void operator()(SwsContext* s) const { sws_freeContext(s); } };
struct FifoFree { void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); } };
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoFree>;

// A channel layout owned here: a custom order carries a map it must free.
struct ChannelLayout {
    AVChannelLayout layout{};
    ChannelLayout() = default;
    ChannelLayout(const ChannelLayout&) = delete;
    ChannelLayout& operator=(const ChannelLayout&) = delete;
    ~ChannelLayout() { av_channel_layout_uninit(&layout); }
};

// "Invalid data found when processing input" for an AVERROR code.
std::string avError(int code);

// False, with error "out of memory (call)", when what call made is null.
bool allocated(const void* made, const char* call, std::string& error);
// False, with error "what (call: reason)", when code is an AVERROR.
bool succeeded(int code, const std::string& what, const char* call, std::string& error);

// Called with the share of the work done so far, 0 to 1.
using ProgressFn = std::function<void(double)>;

// A byte vector seen by FFmpeg as a seekable file.
class MemoryStream {
public:
    MemoryStream() = default;
    explicit MemoryStream(const std::vector<uint8_t>& source) : data_(source) {}
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;
    ~MemoryStream();
    // Null when FFmpeg cannot allocate the context.
    AVIOContext* context(bool writable);
    std::vector<uint8_t>& data() { return data_; }

private:
    static int read(void* opaque, uint8_t* buf, int size);
    static int write(void* opaque, uint8_t* buf, int size);
    static int64_t seek(void* opaque, int64_t offset, int whence);
    std::vector<uint8_t> data_;
    size_t pos_ = 0;
    AVIOContext* io_ = nullptr;
};

// A demuxer opened on bytes held in memory.
class InputFile {
public:
    explicit InputFile(const std::vector<uint8_t>& bytes) : stream_(bytes) {}
    ~InputFile() { avformat_close_input(&format_); }
    // False with error set when FFmpeg finds no container it knows.
    bool open(std::string& error);
    AVFormatContext* format() { return format_; }
    // Index of the first stream of that kind, or -1.
    int firstStream(AVMediaType type) const;
    // A decoder opened for stream index; null with error set on failure.
    CodecPtr openDecoder(int index, std::string& error);

private:
    MemoryStream stream_;
    AVFormatContext* format_ = nullptr;
};

// A muxer writing into memory; bitexact, so the same input gives the same bytes.
class OutputFile {
public:
    ~OutputFile();
    bool open(const char* formatName, std::string& error);
    AVFormatContext* format() { return format_; }
    // Adds a stream for enc (opened), copying its parameters.
    AVStream* addStream(AVCodecContext* enc, std::string& error);
    bool writeHeader(std::string& error);
    // Sends every packet enc has (frame null flushes it) to stream.
    bool encode(AVCodecContext* enc, AVStream* stream, AVFrame* frame, std::string& error);
    bool finish(std::vector<uint8_t>& out, std::string& error);
    // Given, in the encoder's time base, to packets that come without a
    // duration (libx264 gives none); 0 leaves them so.
    int64_t packetDuration = 0;

private:
    MemoryStream stream_;
    AVFormatContext* format_ = nullptr;
};

// Decodes every frame of stream index in input, calling onFrame for each
// (false from it stops with failure). Decoding errors of single packets are
// skipped, as players do.
bool decodeStream(InputFile& input, AVCodecContext* decoder, int index, const std::function<bool(AVFrame*)>& onFrame,
                  const ProgressFn& progress, std::string& error);

// "1.2 MB", "740 KB"
std::string byteSize(uint64_t bytes);

// "3:05", rounded to the second.
std::string minutesSeconds(double seconds);

// The length of stream, from the stream's own duration or else the
// container's; 0 when neither is known.
double streamSeconds(const AVFormatContext* format, const AVStream* stream);

} // namespace rvlpack
