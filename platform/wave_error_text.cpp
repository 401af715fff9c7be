#include "platform/wave_error_text.h"

namespace platform {

std::string WaveErrorText(MmResult result) {
    switch (result) {
        case MMSYSERR_NOERROR: return "The specified command was carried out.";
        case MMSYSERR_ERROR: return "The audio device could not be opened or started.";
        case MMSYSERR_BADDEVICEID: return "The device identifier is out of range.";
        case MMSYSERR_INVALHANDLE: return "The specified device handle is invalid.";
        case MMSYSERR_NODRIVER: return "No audio output device is available.";
        case MMSYSERR_NOMEM: return "Too many blocks are queued on the device.";
        case MMSYSERR_NOTSUPPORTED: return "The device does not support this.";
        case MMSYSERR_INVALPARAM: return "An invalid parameter was passed.";
        case WAVERR_BADFORMAT: return "The wave format is not supported; use 16-bit mono PCM.";
        case WAVERR_STILLPLAYING: return "Blocks are still queued on the device.";
        case WAVERR_UNPREPARED: return "The block header was not prepared.";
        default: return "Unknown wave output error " + std::to_string(result) + ".";
    }
}

}  // namespace platform
