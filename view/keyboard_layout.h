#pragma once
// Where the keys of the keyboard view stand, in client pixels: what the view draws
// and what a mouse press on the window is matched against.
namespace view {

constexpr int KeyboardLeft = 10;   // x of the keyboard's left edge
constexpr int KeyboardTop = 200;   // y of the top edge of all keys
constexpr int WhiteKeyWidth = 14;  // also the pitch of the white-key columns
constexpr int KeyHeight = 65;      // of a white key

constexpr int OctaveCount = 10;
constexpr int LowestDrawnNote = 12;
constexpr int HighestDrawnNote = 127;
constexpr int WhiteOffsets[7] = {0, 2, 4, 5, 7, 9, 11};
// Black keys over the seams after white columns 0, 1, 3, 4 and 5.
constexpr int BlackOffsets[5] = {1, 3, 6, 8, 10};
constexpr int BlackSeams[5] = {0, 1, 3, 4, 5};
// Both truncated: 65 * 0.6 is exactly 39.0 in double arithmetic.
constexpr int BlackKeyWidth = static_cast<int>(WhiteKeyWidth * 0.6);
constexpr int BlackKeyHeight = static_cast<int>(KeyHeight * 0.6);

// Left edge of octave k; its first note is LowestDrawnNote + 12k.
constexpr int OctaveLeft(int octave) { return KeyboardLeft + 7 * WhiteKeyWidth * octave; }

// Left edge of the black key over seam s of the octave that starts at octaveLeft.
constexpr int BlackKeyLeft(int octaveLeft, int seam) {
    return octaveLeft + WhiteKeyWidth * seam + (2 * WhiteKeyWidth - BlackKeyWidth) / 2;
}

// The note of the key drawn under the point: a black key where one is drawn there,
// else the white key of the column under x, whatever y is. Left of the keyboard
// that is its lowest note, right of its last key its highest.
int NoteAtPoint(int x, int y);

}  // namespace view
