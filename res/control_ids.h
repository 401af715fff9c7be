#pragma once
// Control and command ids of the main dialog.
namespace res {

constexpr int IDC_GENERATE = 1;  // IDOK
constexpr int IDC_STOP = 1000;
constexpr int IDC_BLOCKCOUNT = 1012;
constexpr int IDC_ABORT = 1015;
constexpr int IDC_AMPLITUDE = 1019;
constexpr int IDC_MIDILOG = 1044;
constexpr int IDC_SLIDER_BASE = 1045;
constexpr int IDC_SLIDER_2 = 1046;
constexpr int IDC_SLIDER_3 = 1047;
constexpr int IDC_SLIDER_4 = 1048;
constexpr int IDC_SLIDER_M2 = 1049;
constexpr int IDC_SLIDER_M3 = 1050;
constexpr int IDC_SLIDER_M4 = 1051;
constexpr int IDC_MIDI_OPEN = 1052;
constexpr int IDC_MIDI_CLOSE = 1053;
constexpr int IDC_MIDI_DEVICE = 1054;
constexpr int IDC_WRITE = 1055;
constexpr int IDC_WRITE_STOP = 1056;
constexpr int IDC_PLAY = 1057;
constexpr int IDC_RESET_SOUND = 1058;
constexpr int IDC_SLIDER_5 = 1059;
constexpr int IDC_CLOSE = 1060;
constexpr int IDC_STOP_PLAYING = 1061;
constexpr int IDC_HIDE = 1062;
constexpr int IDC_STATUS = 1063;
constexpr int IDC_SLIDER_6 = 1064;
constexpr int IDC_FREQ = 1065;
constexpr int IDC_SLIDER_M5 = 1066;
constexpr int IDC_SLIDER_RELEASE = 1067;
constexpr int IDC_SLIDER_M6 = 1068;

}  // namespace res
