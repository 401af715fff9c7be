#include "view/keyboard_layout.h"

#include <algorithm>

namespace view {

int NoteAtPoint(int x, int y) {
    if (x < KeyboardLeft) return LowestDrawnNote;
    const int column = (x - KeyboardLeft) / WhiteKeyWidth;
    const int octave = column / 7;
    const int first = LowestDrawnNote + 12 * octave;
    if (y >= KeyboardTop && y < KeyboardTop + BlackKeyHeight) {
        for (int b = 0; b < 5; ++b) {
            const int left = BlackKeyLeft(OctaveLeft(octave), BlackSeams[b]);
            const int note = first + BlackOffsets[b];
            if (x >= left && x < left + BlackKeyWidth && note <= HighestDrawnNote) return note;
        }
    }
    // The empty columns beyond the last white key count as that key.
    return std::min(first + WhiteOffsets[column % 7], HighestDrawnNote);
}

}  // namespace view
