// Reading a Standard MIDI File: the chunks, then each track's events, then the times.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "tools/performance/smf_clock.h"
#include "tools/performance/standard_midi_file.h"

namespace performance {

namespace {

constexpr std::string_view HeaderChunk = "MThd";  // the file begins with it
constexpr std::string_view TrackChunk = "MTrk";
constexpr size_t ChunkHeaderSize = 8;
constexpr size_t HeaderLength = 6;
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

}  // namespace

bool IsStandardMidiFile(std::string_view bytes) {
    return bytes.substr(0, HeaderChunk.size()) == HeaderChunk;
}

Reading ReadStandardMidiFile(std::string_view bytes) {
    Reading reading;
    Fault fault;
    Chunks chunks(bytes, fault);
    const Header header = ReadHeader(chunks, fault);
    std::unique_ptr<TickClock> clock;
    if (!fault.Found() && (header.division & 0x8000)) {
        std::string why;
        clock = SmpteClock(header.division, why);
        if (!clock) fault.Set(why);
    }

    std::vector<TickedNote> notes;
    std::vector<TempoChange> tempos;
    std::string_view type;
    for (uint32_t found = 0; found < header.tracks && !fault.Found();) {
        const std::string_view body = chunks.Next(type);
        // A chunk of another kind is skipped.
        if (!fault.Found() && type == TrackChunk) ReadTrack(body, notes, tempos, fault);
        if (fault.Found())
            fault.reason += " (track " + std::to_string(found + 1) + " of " +
                            std::to_string(header.tracks) + ")";
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
    if (!clock) clock = TempoClock(header.division, std::move(tempos));
    reading.events.reserve(notes.size());
    for (const TickedNote& note : notes) {
        uint32_t ms = 0;
        if (!clock->Milliseconds(note.tick, ms)) {
            reading.events.clear();
            reading.error = "a note event more than 24 hours from the start";
            return reading;
        }
        reading.events.push_back({ms, note.note, note.velocity});
    }
    return reading;
}

}  // namespace performance
