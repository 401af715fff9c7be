// The whole window on the simulated platform, driven by any sequence of what a user, the
// devices, the clock and the file system can do: clicks, and commands posted in any
// state; keys, with Alt too; mouse presses and drags; MIDI messages; timer ticks and
// returned blocks; focus loss; devices that fail; and midi.dat or Kelvarin.ini missing,
// unreadable or failing to write. Nothing is handled until a step says so, so clicks
// pile up as they do in a stall. After every handled message the program keeps its
// promises:
//   - each button pair has exactly one button enabled, and the pairs tell the truth
//     about the output, the recording, the replay and the MIDI input; recording is on
//     exactly while its file is open;
//   - at most 60 blocks are in flight, and every block prepared is in flight or back and
//     waiting to be handled: none is lost, none is handled twice;
//   - no voice is louder than the loudest strike it could have had, and a silent voice
//     has no level;
//   - midi.dat holds whole records: exactly the note events played while recording;
//   - Kelvarin.ini is whole after every save, and the save on the way out holds the
//     sliders as the design's table stores them.
// At the end "X" is pressed and every block comes back: the program must end.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/main_dialog.h"
#include "app/program_state.h"
#include "platform/sim/sim_platform.h"
#include "res/control_ids.h"

namespace {

using namespace platform;
using namespace res;
using sim::SimFileSystem;
using sim::SimWindow;

constexpr const char* MidiDat = "/home/player/midi.dat";
constexpr const char* SettingsIni = "/home/player/Kelvarin.ini";
constexpr const char* Paths[] = {MidiDat, SettingsIni};
constexpr size_t MaxBlocksInFlight = 60;
constexpr int MaxSteps = 400;

constexpr int Buttons[] = {IDC_GENERATE, IDC_STOP,  IDC_ABORT,       IDC_MIDI_OPEN,
                           IDC_MIDI_CLOSE, IDC_WRITE, IDC_WRITE_STOP, IDC_PLAY,
                           IDC_RESET_SOUND, IDC_CLOSE, IDC_STOP_PLAYING, IDC_HIDE, IDCANCEL};
constexpr int Pairs[][2] = {{IDC_GENERATE, IDC_STOP},
                            {IDC_MIDI_OPEN, IDC_MIDI_CLOSE},
                            {IDC_WRITE, IDC_WRITE_STOP},
                            {IDC_PLAY, IDC_STOP_PLAYING}};
constexpr int Sliders[] = {IDC_SLIDER_BASE, IDC_SLIDER_2,  IDC_SLIDER_3,  IDC_SLIDER_4,
                           IDC_SLIDER_5,    IDC_SLIDER_6,  IDC_SLIDER_M2, IDC_SLIDER_M3,
                           IDC_SLIDER_M4,   IDC_SLIDER_M5, IDC_SLIDER_M6, IDC_SLIDER_RELEASE};
constexpr WPARAM Keys[] = {'Q',      '2',       'W',     'M',        'A',        VK_TAB,
                           VK_RETURN, VK_LEFT, VK_RIGHT, VK_ESCAPE, VK_NUMPAD7, VK_OEM_PLUS};

// The Amplitude field's texts, each with the number the design reads in it (as atoi).
struct Amplitude {
    const char* text;
    int64_t value;
};
constexpr Amplitude Amplitudes[] = {{"4000", 4000}, {"0", 0},         {"-3000", -3000},
                                    {"2147483647", 2147483647},      {"12abc", 12}, {"x", 0}};
constexpr double MouseStrikeLevel = 3000.0;
constexpr double HighestVelocity = 255.0;  // NoteEvent keeps the low 8 bits

constexpr const char* SettingsFiles[] = {"", "[Kelvarin]\nsl1=40\nsl2=100\nsldecrement=90\n",
                                         "[Other]\r\na=1\r\n[Kelvarin]\r\nHideWindow=0\r\nsl3=250\r\n"};
constexpr const char* DeviceTexts[] = {"0", "1", "2", "-1", "x"};

// Each key of the file and the slider whose position it stores, 100 minus the position:
// the later slider of a shared key is the one saved.
struct StoredSlider {
    const char* key;
    int slider;
};
constexpr StoredSlider StoredSliders[] = {
    {"sl1", IDC_SLIDER_BASE}, {"sl2", IDC_SLIDER_2},   {"sl3", IDC_SLIDER_5},
    {"sl4", IDC_SLIDER_6},    {"slm2", IDC_SLIDER_M2}, {"slm3", IDC_SLIDER_M5},
    {"slm4", IDC_SLIDER_M6},  {"sldecrement", IDC_SLIDER_RELEASE}};

void Check(bool promise) {
    if (!promise) std::abort();
}

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    template <typename T, size_t N>
    const T& Pick(const T (&choices)[N]) {
        return choices[Byte() % N];
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// The value of key in section [Kelvarin], if the file has it.
std::optional<long> SettingValue(const std::string& file, const std::string& key) {
    bool inSection = false;
    size_t start = 0;
    while (start < file.size()) {
        size_t end = file.find('\n', start);
        if (end == std::string::npos) end = file.size();
        std::string line = file.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        if (!line.empty() && line.front() == '[') {
            inSection = line == "[Kelvarin]";
        } else if (inSection && line.compare(0, key.size() + 1, key + "=") == 0) {
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
        }
    }
    return std::nullopt;
}

class WindowFuzz {
public:
    WindowFuzz() : state_(sim_.GetFiles()), dialog_(sim_, state_) {
        sim_.Midi().AddDevice("Keys");
        sim_.Midi().AddDevice(std::string(30, 'k') + "\xD0\x96");  // a letter across the cut
        window_ = &sim_.Open(dialog_);
    }

    void Run(Input& in) {
        for (int step = 0; step < MaxSteps && !in.Empty() && !sim_.Ended(); ++step) {
            Act(in);
            CheckState();
        }
        HandleAll();
        for (int tries = 0; tries < 2 && !sim_.Ended(); ++tries) {
            window_->Click(IDC_CLOSE);
            HandleAll();
            while (!sim_.Ended() && sim_.Wave().CompleteAll() > 0) HandleAll();
        }
        Check(sim_.Ended());
    }

private:
    // What a handled message is checked against.
    struct Before {
        bool recording;
        bool outputOpen;
        std::optional<std::string> recorded;
        int settingsWrites;
        uint32_t tick;
    };

    void Act(Input& in) {
        SimWindow& w = *window_;
        const int action = in.Byte() % 20;
        switch (action) {
            case 0: {
                const int id = in.Pick(Buttons);
                if (id != IDCANCEL) w.Click(id);
                break;
            }
            case 1: w.Post(WM_COMMAND, MakeCommand(in.Pick(Buttons), BN_CLICKED)); break;
            case 2: {
                const WPARAM key = in.Pick(Keys);
                w.KeyDown(key, in.Byte() & 1);
                break;
            }
            case 3: w.KeyUp(in.Pick(Keys)); break;
            case 4:
                if (in.Byte() & 1) w.SysKeyDown(in.Pick(Keys));
                else w.SysKeyUp(in.Pick(Keys));
                break;
            case 5:
            case 6: {  // x, y and, for a move, the buttons held
                const int x = in.Byte() * 4, y = in.Byte() + 100;
                if (action == 5) w.LButtonDown(x, y);
                else w.MouseMove(x, y, in.Byte() & 3);
                break;
            }
            case 7: {
                const uint8_t status = in.Byte(), data1 = in.Byte();
                sim_.Midi().Receive(status, data1, in.Byte());
                break;
            }
            case 8: sim_.AdvanceTime(in.Byte() * 4u + 1); break;
            case 9:
                for (int ms = in.Byte() % 32; ms >= 0 && !sim_.Ended(); --ms) {
                    sim_.AdvanceTime(1);
                    HandleAll();
                }
                break;
            case 10: sim_.Wave().CompleteBlocks(size_t{1} << (in.Byte() % 7)); break;
            case 11: HandleAll(); break;
            case 12: HandleOne(); break;
            case 13: w.Deactivate(); break;
            case 14: {
                const Amplitude& amplitude = in.Pick(Amplitudes);
                w.Type(IDC_AMPLITUDE, amplitude.text);
                loudest_ = std::max(loudest_, std::fabs(static_cast<double>(amplitude.value)) *
                                                  HighestVelocity / 127);
                break;
            }
            case 15: w.Type(IDC_MIDI_DEVICE, in.Pick(DeviceTexts)); break;
            case 16: {
                const int slider = in.Pick(Sliders);
                w.DragSlider(slider, in.Byte() % 111 - 5);
                break;
            }
            case 17: FileFault(in); break;
            case 18: DeviceFault(in); break;
            default: Message(in); break;
        }
    }

    void Message(Input& in) {
        SimWindow& w = *window_;
        switch (in.Byte() % 7) {
            case 0: w.SysCommand(0x0010); break;  // the About box
            case 1: w.SysCommand(SC_CLOSE); break;
            case 2: w.Post(WM_CLOSE); break;
            case 3: w.Post(WM_ENDSESSION, in.Byte() & 1); break;
            case 4: w.SetIconic(in.Byte() & 1); break;
            case 5: w.Paint(); break;
            default: w.Post(WM_CHAR, in.Byte()); break;
        }
    }

    // A file held by the program cannot be removed or replaced, as on Windows.
    void FileFault(Input& in) {
        SimFileSystem& files = sim_.Files();
        const int which = in.Byte() & 1;
        const char* path = Paths[which];
        switch (in.Byte() % 6) {
            case 0:
                if (!files.IsOpen(path)) files.RemoveFile(path);
                break;
            case 1:
                if (files.IsOpen(path)) break;
                if (which == 0) {
                    std::string bytes;
                    for (int n = in.Byte() % 64; n > 0; --n) bytes += static_cast<char>(in.Byte());
                    files.SetFile(path, bytes);
                } else {
                    files.SetFile(path, in.Pick(SettingsFiles));
                }
                break;
            case 2: files.SetUnreadable(path, unreadable_[which] = !unreadable_[which]); break;
            case 3: files.SetUnwritable(path, unwritable_[which] = !unwritable_[which]); break;
            case 4: files.HoldOpenElsewhere(path, held_[which] = !held_[which]); break;
            default: files.LimitSize(path, in.Byte()); break;  // a disk that fills up
        }
    }

    void DeviceFault(Input& in) {
        const MmResult failure = in.Byte() & 1 ? MMSYSERR_ERROR : MMSYSERR_NODRIVER;
        switch (in.Byte() % 7) {
            case 0: sim_.Wave().FailNext(sim::WaveCall::Open, failure); break;
            case 1: sim_.Wave().FailNext(sim::WaveCall::Write, failure); break;
            case 2: sim_.Wave().FailNext(sim::WaveCall::Close, failure); break;
            case 3: sim_.Midi().FailNext(sim::MidiCall::Open, failure); break;
            case 4: sim_.Midi().FailNext(sim::MidiCall::Start, failure); break;
            case 5: sim_.Midi().FailNext(sim::MidiCall::Stop, failure); break;
            default: sim_.Midi().FailNext(sim::MidiCall::Close, failure); break;
        }
    }

    void HandleAll() {
        while (HandleOne()) {
        }
    }

    bool HandleOne() {
        if (sim_.Ended() || sim_.Queue().Empty()) return false;
        const platform::Message message = sim_.Queue().Pending().front().message;
        const Before before{state_.recording.RecordingFlag == 1, window_->Enabled(IDC_STOP),
                            sim_.Files().Contents(MidiDat), sim_.Files().Writes(SettingsIni),
                            sim_.GetTickCount()};
        sim_.PumpOne();
        CheckRecorded(message, before);
        CheckSettings(before);
        CheckState();
        return true;
    }

    // The velocity every record of a message carries, or -1 when it plays no note.
    static int RecordedVelocity(const platform::Message& m, uint8_t note) {
        const auto packed = static_cast<uint32_t>(m.lParam);
        switch (m.message) {
            case MM_MIM_DATA:
                if ((packed & 0xF0) == 0x90 && note == ((packed >> 8) & 0xFF)) return (packed >> 16) & 0xFF;
                if ((packed & 0xF0) == 0x80 && note == ((packed >> 8) & 0xFF)) return 0;
                return -1;
            case WM_KEYDOWN: return 127;
            case WM_KEYUP:
            case WM_SYSKEYUP: return 0;
            case WM_ACTIVATE: return (m.wParam & 0xFFFF) == WA_INACTIVE ? 0 : -1;
            default: return -1;
        }
    }

    void CheckRecorded(const platform::Message& m, const Before& before) {
        // The About box's own loop handles whatever else is waiting.
        if (m.message == WM_SYSCOMMAND) return;
        const std::optional<std::string> recorded = sim_.Files().Contents(MidiDat);
        if (!before.recording && state_.recording.RecordingFlag == 1) {
            Check(recorded == "");  // "Write" starts a new, empty file
            return;
        }
        Check(recorded.has_value() == before.recorded.has_value());
        const std::string was = before.recorded.value_or(""), now = recorded.value_or("");
        Check(now.compare(0, was.size(), was) == 0);
        const std::string added = now.substr(was.size());
        Check(added.size() % 8 == 0);
        Check(added.empty() || (before.recording && before.outputOpen));
        for (size_t at = 0; at < added.size(); at += 8) {
            const auto byte = [&](size_t i) { return static_cast<uint8_t>(added[at + i]); };
            const uint32_t tick = byte(4) | byte(5) << 8 | byte(6) << 16 | uint32_t{byte(7)} << 24;
            Check(RecordedVelocity(m, byte(0)) == byte(1) && byte(2) == 0 && byte(3) == 0 &&
                  tick == before.tick);
            Check(byte(1) == 0 || state_.engine.VoiceTable[byte(0)].active == 1);
        }
        // A note message while recording is stored, unless the disk refused it.
        const auto packed = static_cast<uint32_t>(m.lParam);
        const bool noteMessage = m.message == MM_MIM_DATA && ((packed & 0xF0) == 0x80 || (packed & 0xF0) == 0x90);
        if (noteMessage && before.recording && before.outputOpen && state_.recording.RecordingFlag == 1)
            Check(added.size() == 8);
    }

    void CheckSettings(const Before& before) {
        if (sim_.Files().Writes(SettingsIni) == before.settingsWrites) return;
        const std::optional<std::string> file = sim_.Files().Contents(SettingsIni);
        // Whole: every line ends, and the section the program writes is there.
        Check(file && !file->empty() && file->back() == '\n' &&
              file->find("[Kelvarin]") != std::string::npos);
        // A save that meets a fault may stop part-way: an unreadable file is not replaced.
        if (!sim_.Ended() || unreadable_[1] || unwritable_[1] || held_[1]) return;
        for (const StoredSlider& stored : StoredSliders)
            Check(SettingValue(*file, stored.key) == 100L - window_->SliderPos(stored.slider));
    }

    void CheckState() {
        if (sim_.Ended()) return;
        const SimWindow& w = *window_;
        for (const auto& pair : Pairs) Check(w.Enabled(pair[0]) != w.Enabled(pair[1]));
        const record::RecordingState& recording = state_.recording;
        Check(w.Enabled(IDC_WRITE_STOP) == (recording.RecordingFlag == 1));
        Check((recording.RecordingFlag == 1) == (recording.RecordingFile != nullptr));
        Check(w.Enabled(IDC_STOP_PLAYING) == (state_.playback.PlaybackBuffer != nullptr));
        Check(w.Enabled(IDC_MIDI_CLOSE) == (state_.MidiInHandle != nullptr));
        Check(!w.Enabled(IDC_GENERATE) || sim_.Wave().InFlight() == 0);

        size_t waiting = 0;
        for (const sim::QueuedMessage& queued : sim_.Queue().Pending())
            waiting += queued.message.message == MM_WOM_DONE;
        Check(sim_.Wave().InFlight() <= MaxBlocksInFlight);
        Check(sim_.Wave().Prepared() == sim_.Wave().InFlight() + waiting);

        for (const synth::Voice& voice : state_.engine.VoiceTable) {
            Check(std::fabs(voice.level) <= loudest_ * (1 + 1e-12));
            Check(voice.active != 0 || voice.level == 0.0);
        }
    }

    sim::SimPlatform sim_;
    app::ProgramState state_;
    app::MainDialog dialog_;
    sim::SimWindow* window_ = nullptr;
    double loudest_ = std::max(MouseStrikeLevel, 4000 * HighestVelocity / 127);
    bool unreadable_[2] = {}, unwritable_[2] = {}, held_[2] = {};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    WindowFuzz fuzz;
    fuzz.Run(in);
    return 0;
}
