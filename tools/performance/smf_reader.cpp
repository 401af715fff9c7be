// Reading a Standard MIDI File: the chunks, then each track's events, then the times.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "tools/performance/standard_midi_file.h"

namespace performance {

namespace {

constexpr std::string_view HeaderChunk = "MThd";  // the file begins with it
constexpr std::string_view TrackChunk = "MTrk";
constexpr size_t ChunkHeaderSize = 8;
constexpr size_t HeaderLength = 6;
constexpr uint32_t DefaultTempo = 500000;  // us per quarter note until a tempo event
constexpr int MaxVarLenBytes = 4;

constexpr uint8_t NoteOff = 0x80;
constexpr uint8_t NoteOn = 0x90;
constexpr uint8_t SysEx = 0xF0;
constexpr uint8_t SysExEscape = 0xF7;
constexpr uint8_t Meta = 0xFF;
constexpr uint8_t MetaEndOfTrack = 0x2F;
constexpr uint8_t MetaTempo = 0x51;

// A fault found while reading; the first one is kept.
struct Fault {
    std::string reason;
    bool Found() const { return !reason.empty(); }
    void Set(std::string why) {
        if (reason.empty()) reason = std::move(why);
    }
};

// Reads big-endian numbers and variable-length quantities from a span of bytes,
// noting a fault instead of reading past its end.
class Bytes {
public:
    Bytes(std::string_view data, Fault& fault, const char* what)
        : data_(data), fault_(fault), what_(what) {}

    bool AtEnd() const { return pos_ >= data_.size(); }
    size_t Left() const { return data_.size() - pos_; }

    uint8_t Byte() {
        if (AtEnd()) {
            fault_.Set(std::string("truncated: ") + what_ + " ends inside an event");
            return 0;
        }
        return static_cast<uint8_t>(data_[pos_++]);
    }
    uint32_t BigEndian(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = value << 8 | Byte();
        return value;
    }
    uint32_t VarLen() {
        uint32_t value = 0;
        for (int i = 0; i < MaxVarLenBytes; ++i) {
            const uint8_t b = Byte();
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80)) return value;
        }
        fault_.Set("a variable-length number runs past four bytes");
        return 0;
    }
    std::string_view Take(size_t count) {
        if (count > Left()) {
            fault_.Set(std::string("truncated: ") + what_ + " ends inside an event");
            pos_ = data_.size();
            return {};
        }
        const std::string_view taken = data_.substr(pos_, count);
        pos_ += count;
        return taken;
    }

private:
    std::string_view data_;
    size_t pos_ = 0;
    Fault& fault_;
    const char* what_;
};

struct TickedNote {
    uint64_t tick;
    uint8_t note;
    uint8_t velocity;
};

struct TempoChange {
    uint64_t tick;
    uint32_t usPerQuarter;
};

// Number of data bytes after a channel status.
int DataBytes(uint8_t status) {
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

std::string Hex(uint8_t b) {
    constexpr char Digits[] = "0123456789ABCDEF";
    return std::string("0x") + Digits[b >> 4] + Digits[b & 0xF];
}

// One track's notes and tempo changes, at their ticks from the track's start.
void ReadTrack(std::string_view chunk, std::vector<TickedNote>& notes,
               std::vector<TempoChange>& tempos, Fault& fault) {
    Bytes in(chunk, fault, "a track");
    uint64_t tick = 0;
    uint8_t running = 0;  // the last channel status, for running status
    while (!in.AtEnd() && !fault.Found()) {
        tick += in.VarLen();
        uint8_t status = in.Byte();
        if (fault.Found()) return;
        if (status == Meta) {
            const uint8_t type = in.Byte();
            const std::string_view data = in.Take(in.VarLen());
            if (fault.Found() || type == MetaEndOfTrack) return;
            if (type == MetaTempo) {
                if (data.size() != 3) {
                    fault.Set("a tempo event of " + std::to_string(data.size()) + " bytes, not 3");
                    return;
                }
                Bytes value(data, fault, "a tempo event");
                tempos.push_back({tick, value.BigEndian(3)});
            }
            continue;
        }
        if (status == SysEx || status == SysExEscape) {
            in.Take(in.VarLen());
            continue;
        }
        if (status > SysEx) {
            fault.Set("status byte " + Hex(status) + ", which no file may hold");
            return;
        }
        uint8_t data[2] = {0, 0};
        int got = 0;
        if (status < 0x80) {  // running status: this is the first data byte
            if (running == 0) {
                fault.Set("a data byte with no status before it");
                return;
            }
            data[got++] = status;
            status = running;
        }
        running = status;
        while (got < DataBytes(status)) data[got++] = in.Byte();
        if (fault.Found()) return;
        if ((data[0] | data[1]) & 0x80) {
            fault.Set("a byte above 127 where a data byte belongs");
            return;
        }
        const uint8_t kind = status & 0xF0;
        if (kind == NoteOn) notes.push_back({tick, data[0], data[1]});
        if (kind == NoteOff) notes.push_back({tick, data[0], 0});
    }
}

// Milliseconds from the file's start to a tick, rounded to the nearest; false when
// that is beyond the longest performance.
class TimeBase {
public:
    virtual ~TimeBase() = default;
    virtual bool Milliseconds(uint64_t tick, uint32_t& ms) = 0;
};

// num / den rounded to the nearest, if it is at most LongestPerformanceMs.
bool RoundedWithinLongest(uint64_t num, uint64_t den, uint32_t& ms) {
    const uint64_t rounded = num / den + (2 * (num % den) >= den ? 1 : 0);
    if (rounded > LongestPerformanceMs) return false;
    ms = static_cast<uint32_t>(rounded);
    return true;
}

// Ticks per quarter note under a tempo map: the time is kept in us * ticksPerQuarter,
// exact, up to the tempo change at or before the tick asked for.
class TempoTimeBase final : public TimeBase {
public:
    TempoTimeBase(uint32_t ticksPerQuarter, std::vector<TempoChange> tempos)
        : ticksPerQuarter_(ticksPerQuarter), tempos_(std::move(tempos)) {
        std::stable_sort(tempos_.begin(), tempos_.end(),
                         [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    }

    // Ticks come in ascending order.
    bool Milliseconds(uint64_t tick, uint32_t& ms) override {
        while (next_ < tempos_.size() && tempos_[next_].tick <= tick) {
            if (!Advance(tempos_[next_].tick)) return false;
            tempo_ = tempos_[next_++].usPerQuarter;
        }
        if (!Advance(tick)) return false;
        return RoundedWithinLongest(units_, uint64_t{ticksPerQuarter_} * 1000, ms);
    }

private:
    bool Advance(uint64_t tick) {
        uint64_t span = 0;
        if (__builtin_mul_overflow(tick - tick_, uint64_t{tempo_}, &span) ||
            __builtin_add_overflow(units_, span, &units_))
            return false;
        tick_ = tick;
        return true;
    }

    uint32_t ticksPerQuarter_;
    std::vector<TempoChange> tempos_;
    size_t next_ = 0;
    uint64_t tick_ = 0;
    uint64_t units_ = 0;  // us * ticksPerQuarter from the start to tick_
    uint32_t tempo_ = DefaultTempo;
};

// SMPTE division: a fixed number of ticks per frame at a fixed frame rate, which the
// file gives as 24, 25, 29 (meaning 30000/1001) or 30 frames a second.
class SmpteTimeBase final : public TimeBase {
public:
    SmpteTimeBase(uint64_t framesPerSecondNum, uint64_t framesPerSecondDen, uint32_t ticksPerFrame)
        : ticksPerSecondNum_(framesPerSecondNum * ticksPerFrame), ticksPerSecondDen_(framesPerSecondDen) {}

    bool Milliseconds(uint64_t tick, uint32_t& ms) override {
        uint64_t num = 0;
        if (__builtin_mul_overflow(tick, 1000 * ticksPerSecondDen_, &num)) return false;
        return RoundedWithinLongest(num, ticksPerSecondNum_, ms);
    }

private:
    uint64_t ticksPerSecondNum_;
    uint64_t ticksPerSecondDen_;
};

// The file's chunks in turn: four letters, a 32-bit length, that many bytes.
class Chunks {
public:
    Chunks(std::string_view file, Fault& fault) : file_(file, fault, "the file"), fault_(fault) {}

    std::string_view Next(std::string_view& type) {
        if (file_.Left() < ChunkHeaderSize) {
            fault_.Set("truncated: the file ends inside a chunk header");
            return {};
        }
        type = file_.Take(4);
        const uint32_t length = file_.BigEndian(4);
        if (length > file_.Left()) {
            fault_.Set("a chunk's length (" + std::to_string(length) +
                       " bytes) runs past the end of the file");
            return {};
        }
        return file_.Take(length);
    }

private:
    Bytes file_;
    Fault& fault_;
};

struct Header {
    uint32_t format = 0;
    uint32_t tracks = 0;
    uint32_t division = 0;  // ticks per quarter note, or with its top bit set SMPTE frames
};

Header ReadHeader(Chunks& chunks, Fault& fault) {
    std::string_view type;
    const std::string_view body = chunks.Next(type);
    Header header;
    if (fault.Found()) return header;
    if (type != HeaderChunk) {
        fault.Set("not a Standard MIDI File: it does not begin with MThd");
        return header;
    }
    if (body.size() < HeaderLength) {
        fault.Set("the header chunk is " + std::to_string(body.size()) + " bytes, fewer than 6");
        return header;
    }
    Bytes in(body, fault, "the header");
    header.format = in.BigEndian(2);
    header.tracks = in.BigEndian(2);
    header.division = in.BigEndian(2);
    if (header.format > 1)
        fault.Set("format " + std::to_string(header.format) + ": only formats 0 and 1 are read");
    if (header.division == 0) fault.Set("a division of 0 ticks per quarter note");
    return header;
}

// Null, and why, when the frame rate or the ticks per frame make no sense.
std::unique_ptr<TimeBase> SmpteTimeBaseOf(uint32_t division, Fault& fault) {
    const int framesPerSecond = -static_cast<int8_t>(division >> 8);
    const uint32_t ticksPerFrame = division & 0xFF;
    if (ticksPerFrame == 0) {
        fault.Set("an SMPTE division of 0 ticks per frame");
        return nullptr;
    }
    if (framesPerSecond == 29) return std::make_unique<SmpteTimeBase>(30000, 1001, ticksPerFrame);
    if (framesPerSecond == 24 || framesPerSecond == 25 || framesPerSecond == 30)
        return std::make_unique<SmpteTimeBase>(framesPerSecond, 1, ticksPerFrame);
    fault.Set("an SMPTE division of " + std::to_string(framesPerSecond) +
              " frames a second, not 24, 25, 29 or 30");
    return nullptr;
}

}  // namespace

bool IsStandardMidiFile(std::string_view bytes) {
    return bytes.substr(0, HeaderChunk.size()) == HeaderChunk;
}

Reading ReadStandardMidiFile(std::string_view bytes) {
    Reading reading;
    Fault fault;
    Chunks chunks(bytes, fault);
    const Header header = ReadHeader(chunks, fault);
    std::unique_ptr<TimeBase> timeBase;
    if (!fault.Found() && (header.division & 0x8000)) timeBase = SmpteTimeBaseOf(header.division, fault);

    std::vector<TickedNote> notes;
    std::vector<TempoChange> tempos;
    std::string_view type;
    for (uint32_t found = 0; found < header.tracks && !fault.Found();) {
        const std::string_view body = chunks.Next(type);
        // A chunk of another kind is skipped.
        if (!fault.Found() && type == TrackChunk) ReadTrack(body, notes, tempos, fault);
        if (fault.Found())
            fault.reason += " (track " + std::to_string(found + 1) + " of " + std::to_string(header.tracks) + ")";
        else if (type == TrackChunk)
            ++found;
    }
    if (fault.Found()) {
        reading.error = fault.reason;
        return reading;
    }
    // Tracks merge by time; equal times keep the tracks' order, and each track its own.
    std::stable_sort(notes.begin(), notes.end(),
                     [](const TickedNote& a, const TickedNote& b) { return a.tick < b.tick; });
    if (!timeBase) timeBase = std::make_unique<TempoTimeBase>(header.division, std::move(tempos));
    reading.events.reserve(notes.size());
    for (const TickedNote& note : notes) {
        uint32_t ms = 0;
        if (!timeBase->Milliseconds(note.tick, ms)) {
            reading.events.clear();
            reading.error = "a note event more than 24 hours from the start";
            return reading;
        }
        reading.events.push_back({ms, note.note, note.velocity});
    }
    return reading;
}

}  // namespace performance
