// The plugin's run callback fed what a careless or hostile host might give it: any
// rate, any control values (beyond their ranges, infinite, no number), runs of 0 to
// 8192 frames, and atom sequences of events at any time, of any type and size, the last
// of them possibly claiming more bytes than the sequence holds. Whatever comes, every
// sample written is a number within full scale, and nothing is read or written out of
// bounds.
#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/lv2_plugin.h"
#include "plugin/ports.h"

namespace {

constexpr double Rates[] = {44100, 48000, 88200, 96000, 22050, 192000, 1, 1e7};
constexpr uint32_t MaxFrames = 8192;
constexpr int MaxRuns = 32;
constexpr LV2_URID SequenceUrid = 1;
constexpr LV2_URID MidiUrid = 2;
constexpr LV2_URID OtherUrid = 3;

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t Bits(int bytes) {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value = value << 8 | Byte();
        return value;
    }
    float Float() {
        const uint32_t bits = Bits(4);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

LV2_URID Map(LV2_URID_Map_Handle, const char* uri) {
    if (std::strcmp(uri, LV2_MIDI__MidiEvent) == 0) return MidiUrid;
    if (std::strcmp(uri, LV2_ATOM__Sequence) == 0) return SequenceUrid;
    return OtherUrid;
}

void Check(bool promise) {
    if (!promise) std::abort();
}

// Up to 63 events, in a buffer that ends where the sequence says it does, so that
// reading past it is caught.
void WriteSequence(Reader& in, std::vector<uint64_t>& buf) {
    std::vector<uint8_t> events;
    const int count = in.Byte() % 64;
    size_t last = 0;
    for (int i = 0; i < count; ++i) {
        LV2_Atom_Event event;
        event.time.frames = static_cast<int16_t>(in.Bits(2));  // before, within and after the run
        const uint8_t shape = in.Byte();
        event.body.size = shape % 9;  // 0 to 8 bytes of MIDI
        event.body.type = shape < 224 ? MidiUrid : OtherUrid;
        last = events.size();
        events.resize(last + sizeof event + (event.body.size + 7) / 8 * 8);
        std::memcpy(events.data() + last, &event, sizeof event);
        for (uint32_t b = 0; b < event.body.size; ++b) events[last + sizeof event + b] = in.Byte();
    }
    if (count > 0 && in.Byte() == 0xFF) {  // the last event claims more bytes than there are
        const uint32_t claimed = in.Bits(4);
        std::memcpy(events.data() + last + offsetof(LV2_Atom_Event, body.size), &claimed, sizeof claimed);
    }
    const LV2_Atom_Sequence header = {{static_cast<uint32_t>(sizeof(LV2_Atom_Sequence_Body) + events.size()), SequenceUrid},
                                      {0, 0}};
    buf.assign((sizeof header + events.size()) / sizeof(uint64_t), 0);
    std::memcpy(buf.data(), &header, sizeof header);
    if (!events.empty()) std::memcpy(reinterpret_cast<uint8_t*>(buf.data()) + sizeof header, events.data(), events.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    const LV2_Descriptor& plugin = plugin::Descriptor();
    LV2_URID_Map map = {nullptr, &Map};
    const LV2_Feature mapFeature = {LV2_URID__map, &map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    LV2_Handle handle = plugin.instantiate(&plugin, Rates[in.Byte() % std::size(Rates)], "", features);
    Check(handle != nullptr);

    float controls[plugin::PortCount] = {};
    for (uint32_t port = plugin::FirstWeight; port < plugin::Latency; ++port) {
        controls[port] = in.Float();
        plugin.connect_port(handle, port, &controls[port]);
    }
    float latency = -1;
    plugin.connect_port(handle, plugin::Latency, &latency);
    std::vector<float> out(MaxFrames);
    std::vector<uint64_t> sequence;
    plugin.connect_port(handle, plugin::AudioOut, out.data());
    plugin.activate(handle);
    for (int run = 0; run < MaxRuns && !in.Empty(); ++run) {
        const uint32_t frames = in.Bits(2) % (MaxFrames + 1);
        const uint8_t change = in.Byte();
        if (change < plugin::PortCount && change >= plugin::FirstWeight && change != plugin::Latency)
            controls[change] = in.Float();
        WriteSequence(in, sequence);
        plugin.connect_port(handle, plugin::MidiIn, sequence.data());
        plugin.run(handle, frames);
        Check(latency == 0.0f);
        for (uint32_t i = 0; i < frames; ++i) Check(std::fabs(out[i]) <= 1.0f);
    }
    plugin.cleanup(handle);
    return 0;
}
