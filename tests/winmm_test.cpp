// What the Windows platform makes of winmm's own data: device names for the status
// field and wave headers coming back in MM_WOM_DONE.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32/winmm_midi_in.h"
#include "platform/win32/winmm_wave_out.h"

namespace {

using platform::MidiInCaps;
using platform::win32::CopyProductName;

TEST(MidiDeviceName, AShortNameIsCopiedWhole) {
    MidiInCaps caps{};
    CopyProductName("USB MIDI Interface", caps);
    EXPECT_STREQ(caps.productName, "USB MIDI Interface");
}

TEST(MidiDeviceName, ALongNameIsCutToThirtyOneBytes) {
    MidiInCaps caps{};
    const std::string name(40, 'k');
    CopyProductName(name, caps);
    EXPECT_EQ(std::string(caps.productName), name.substr(0, 31));
}

TEST(MidiDeviceName, TheCutNeverSplitsACharacter) {
    MidiInCaps caps{};
    // 30 ASCII bytes, then a two-byte Cyrillic letter that would end at byte 32.
    const std::string name = std::string(30, 'a') + "\xD0\x96" + "b";
    CopyProductName(name, caps);
    EXPECT_EQ(std::string(caps.productName), std::string(30, 'a'));
    // One byte shorter, the letter fits whole.
    CopyProductName(std::string(29, 'a') + "\xD0\x96" + "b", caps);
    EXPECT_EQ(std::string(caps.productName), std::string(29, 'a') + "\xD0\x96");
}

TEST(MidiDeviceName, ADeviceThatIsNotThereLeavesTheCapsAsTheyWere) {
    platform::win32::WinmmMidiIn midiIn;
    MidiInCaps caps{};
    std::strcpy(caps.productName, "as it was");
    EXPECT_NE(midiIn.GetDevCaps(midiIn.GetNumDevs(), caps), static_cast<platform::MmResult>(MMSYSERR_NOERROR));
    EXPECT_STREQ(caps.productName, "as it was");
}

TEST(WaveDone, TheSystemsHeaderLeadsBackToTheProgramsOwn) {
    platform::WaveHeader mine{};
    WAVEHDR system{};
    system.dwUser = reinterpret_cast<DWORD_PTR>(&mine);
    EXPECT_EQ(platform::win32::ProgramWaveHeader(reinterpret_cast<LPARAM>(&system)),
              reinterpret_cast<LPARAM>(&mine));
    EXPECT_EQ(platform::win32::ProgramWaveHeader(0), 0);
}

}  // namespace
