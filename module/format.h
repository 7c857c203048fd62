// SPDX-License-Identifier: GPL-3.0-or-later
// The .rvl module format in one place: the question types, the limits set by
// the field widths, and the reading of every field in file order. Both the
// reader's loader and the pack tool read modules through readModule here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace rvlformat {

// A question's type byte as stored. Any other byte is kept as it is and
// makes a question without media.
enum class AskType : char { Text = 'T', Picture = 'I', Audio = 'A', Video = 'V' };

constexpr char typeCode(AskType type) { return static_cast<char>(type); }
// For a switch over a stored byte: bytes outside the four fall to default.
constexpr AskType askType(char code) { return static_cast<AskType>(code); }
// Pictures, sounds and videos carry a first block (a video's sound track);
// only a video carries a second one, the video file.
constexpr bool carriesVideo(char code) { return code == typeCode(AskType::Video); }
constexpr bool carriesMedia(char code) {
    return code == typeCode(AskType::Picture) || code == typeCode(AskType::Audio) || carriesVideo(code);
}

constexpr char kMagic[] = "RVL1";  // the format word and the digit one
constexpr size_t kMagicSize = 4;
constexpr size_t kMaxTopics = 255;      // a count byte
constexpr size_t kMaxAsks = 255;        // a count byte per topic
constexpr size_t kMaxTextUnits = 255;   // a count byte per text
constexpr uint64_t kMaxBlock = 0xFFFFFFFFu;  // a u32 length
constexpr uint16_t kMaxPoints = 0xFFFF;      // a u16
constexpr uint64_t kMaxCreated = 0xFFFFFFFFu;  // a u32 time in seconds

// Numbers are unsigned and big-endian.
inline uint16_t u16At(const uint8_t* b) { return static_cast<uint16_t>(b[0] << 8 | b[1]); }
inline uint32_t u32At(const uint8_t* b) {
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

// Every field, in file order, so that each caller words a failure its way.
enum class Field : uint8_t {
    Magic, Created, PackName, Author, TopicCount,
    TopicName, AskCount,                                   // of a topic
    Type, Question, Answer, Points,                        // of a question
    PictureLength, Picture, SoundLength, Sound,            // its media part
    TrackLength, Track, VideoLength, Video,
};

enum class Fault : uint8_t {
    None,
    NotAModule,  // the magic is missing
    Truncated,   // the field reaches past the end of the file
    NoMemory,    // no room could be had for a media block
    ReadFailed,  // the stream gave fewer bytes than its size promised
};

struct Failure {
    Fault fault = Fault::None;
    Field field = Field::Magic;
    size_t topic = 0;     // the topic and question the field belongs to
    size_t ask = 0;
    uint64_t offset = 0;  // where the field starts
    uint64_t needed = 0;  // bytes the field takes from there
    uint64_t left = 0;    // bytes the file holds from there
};

struct AskHead {
    char type = 0;
    std::wstring question;
    std::wstring answer;
    uint16_t points = 0;
};

// Receives a module's fields in file order, each as soon as it has been
// read. Texts may be moved from.
class ModuleSink {
public:
    virtual ~ModuleSink() = default;
    virtual void header(uint32_t created, std::wstring& packName, std::wstring& author) = 0;
    virtual void topicCount(size_t count) = 0;
    virtual void topic(std::wstring& name, size_t askCount) = 0;
    // endOfPoints: the file offset just behind the points field.
    virtual void ask(AskHead& head, uint64_t endOfPoints) = 0;
    // A block's length (block is Picture, Sound, Track or Video), read but
    // not yet compared with the file.
    virtual void blockLength(Field /*block*/, uint32_t /*length*/) {}
    // Where the block's bytes go once they are known to be in the file:
    // false when no room can be had; `to` left null skips them.
    virtual bool block(Field block, uint32_t length, uint8_t*& to) = 0;
    virtual void askDone() {}
};

// Reads a whole module from bytes in memory, or from a stream at the start
// of a file of the given size. False with failure set when the bytes are not
// a module or a field does not fit; *end is where the last question ends
// (bytes after it are not read).
bool readModule(const uint8_t* data, uint64_t size, ModuleSink& sink, Failure& failure, uint64_t* end = nullptr);
bool readModule(FILE* file, uint64_t size, ModuleSink& sink, Failure& failure, uint64_t* end = nullptr);

} // namespace rvlformat
