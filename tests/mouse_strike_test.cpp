// Playing with the mouse: a press, and every move with the left button held, strikes
// the key drawn under the pointer at a fixed level that fades by itself.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app_fixture.h"

namespace {

using namespace platform;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr ColorRef Light = Rgb(250, 250, 250);
constexpr ColorRef StruckWhite = Rgb(0, 187, 150);  // a white key at level 3000

struct PointNote {
    int x, y, note;
};

// Octave k starts at x 10 + 98k with note 12 + 12k; white columns are 14 wide and the
// black keys, 8 wide and 39 high, stand over the seams from 10 pixels into a column.
constexpr PointNote PointsAndNotes[] = {
    // The first octave: white columns and their edges, below the black keys.
    {10, 250, 12}, {23, 250, 12}, {24, 250, 14}, {37, 264, 14}, {38, 264, 16},
    // Black key 13 spans x 20 to 27 and y 200 to 238; beside and below it, the whites.
    {20, 200, 13}, {27, 238, 13}, {19, 220, 12}, {28, 220, 14}, {22, 239, 12}, {24, 239, 14},
    // No black key after the third column; then 18 over the next seam, and the rest.
    {48, 210, 16}, {52, 210, 17}, {61, 210, 17}, {62, 210, 18}, {69, 210, 18}, {70, 210, 19},
    {79, 220, 20}, {90, 220, 22}, {97, 238, 22}, {98, 220, 23},
    // Above and below the keys: the white column under x, even under a black key.
    {22, 199, 12}, {24, 0, 14}, {415, 120, 60}, {415, 265, 60}, {415, 400, 60},
    // Middle C and the C sharp above it.
    {409, 250, 60}, {415, 220, 61}, {402, 230, 60},
    // Left of the first key, and the last drawn keys: 121 and 126 black, 127 white.
    {9, 250, 12}, {0, 0, 12}, {-5, 250, 12}, {905, 220, 121}, {944, 210, 126},
    {951, 238, 126}, {952, 210, 127}, {961, 250, 127},
    // Right of note 127, where the last octave's columns are empty, and where its black
    // keys 128 and 130 would stand: still 127.
    {962, 250, 127}, {962, 210, 127}, {960, 220, 127}, {975, 220, 127}, {989, 220, 127},
    {2000, 250, 127},
};

class MouseStrikeTest : public AppTest {
protected:
    void TearDown() override {
        if (!sim.Ended()) StopAndDrain();
    }

    void PressAt(int x, int y) {
        window->LButtonDown(x, y);
        sim.Pump();
    }
    void MoveTo(int x, int y, WPARAM buttons) {
        window->MouseMove(x, y, buttons);
        sim.Pump();
    }
    void ExpectStruck(int note) {
        EXPECT_EQ(Voice(note).active, 1) << "note " << note;
        EXPECT_EQ(Voice(note).level, 3000.0) << "note " << note;
        EXPECT_EQ(Voice(note).releaseStep, 10.0) << "note " << note;
    }
    std::optional<ColorRef> DrawnFill(int left, int top, int right, int bottom) {
        std::optional<ColorRef> fill;
        for (const sim::Shape& shape : sim.Graphics().Rectangles())
            if (shape.left == left && shape.top == top && shape.right == right &&
                shape.bottom == bottom)
                fill = shape.fill;
        return fill;
    }
    size_t Count(sim::DrawKind kind) { return std::ranges::count(sim.Graphics().Kinds(), kind); }
    size_t DefaultProcessed(UINT message) {
        return std::ranges::count_if(window->DefaultProcessed(),
                                     [&](const Message& m) { return m.message == message; });
    }
};

TEST_F(MouseStrikeTest, PressStrikesTheKeyDrawnUnderThePointerAndNoOther) {
    Start();
    for (const PointNote& point : PointsAndNotes) {
        PressAt(point.x, point.y);
        EXPECT_THAT(Sounding(), ElementsAre(point.note)) << "at " << point.x << ", " << point.y;
        ExpectStruck(point.note);
        dialog->ResetSound();
    }
}

TEST_F(MouseStrikeTest, StrikeIsAFixedLevelThatFadesWhateverTheAmplitudeField) {
    Start();
    window->Type(res::IDC_AMPLITUDE, "1000");
    Tick();
    PressAt(409, 250);
    ExpectStruck(60);
    Complete(1);
    EXPECT_EQ(Voice(60).level, 2990.0);
    Complete(299);
    EXPECT_THAT(Sounding(), IsEmpty());  // silent after 300 blocks with no note-off
}

TEST_F(MouseStrikeTest, PressBeforeGenerateModeShowsAtTheNextRepaintAndSoundsOnceStarted) {
    sim.Wave().FailNext(sim::WaveCall::Open, MMSYSERR_NODRIVER);
    Start();
    Tick();  // the keyboard is drawn once, and the fundamental's weight is in
    sim.Graphics().ClearLog();
    PressAt(409, 250);
    ExpectStruck(60);
    EXPECT_EQ(Count(sim::DrawKind::GetDC), 0u);  // no repaint of its own

    Tick();
    EXPECT_EQ(DrawnFill(402, 200, 416, 265), StruckWhite);
    EXPECT_EQ(DrawnFill(388, 200, 402, 265), Light);

    window->Click(res::IDC_GENERATE);
    sim.Pump();
    const size_t silent = sim.Wave().Blocks().size();
    Complete(1);
    ASSERT_GT(sim.Wave().Blocks().size(), silent);
    const std::vector<int16_t>& samples = sim.Wave().Blocks().back().samples;
    int peak = 0;
    for (const int16_t s : samples) peak = std::max(peak, std::abs(int{s}));
    EXPECT_GT(peak, 2900);  // a quarter of middle C's period fits in one block
    EXPECT_LE(peak, 3000);
    EXPECT_EQ(Voice(60).level, 2990.0);
}

TEST_F(MouseStrikeTest, PressPutsTheClipLampOutAtTheNextRepaint) {
    Start();
    Engine().ClipFlag = 1;
    MoveTo(409, 250, MK_LBUTTON);  // a drag alone leaves the lamp as it is
    EXPECT_EQ(Engine().ClipFlag, 1);
    PressAt(5, 5);
    EXPECT_EQ(Engine().ClipFlag, 0);
    sim.Graphics().ClearLog();
    Tick();
    EXPECT_EQ(DrawnFill(312, 180, 322, 190), Light);
}

TEST_F(MouseStrikeTest, DragStrikesAfreshOnEveryMove) {
    Start();
    PressAt(409, 250);
    MoveTo(423, 250, MK_LBUTTON);  // 62
    MoveTo(429, 210, MK_LBUTTON | MK_RBUTTON);  // 63, black
    EXPECT_THAT(Sounding(), ElementsAre(60, 62, 63));
    Complete(1);
    EXPECT_EQ(Voice(62).level, 2990.0);
    MoveTo(424, 251, MK_LBUTTON);
    ExpectStruck(62);
    EXPECT_EQ(Voice(60).level, 2990.0);
    Complete(1);
    MoveTo(424, 252, MK_LBUTTON);
    MoveTo(425, 252, MK_LBUTTON);
    ExpectStruck(62);
}

TEST_F(MouseStrikeTest, MovesWithoutTheLeftButtonStrikeNothing) {
    Start();
    MoveTo(409, 250, 0);
    MoveTo(415, 220, MK_RBUTTON);
    EXPECT_THAT(Sounding(), IsEmpty());
    // Both messages still get the window's default processing, as presses do.
    EXPECT_EQ(DefaultProcessed(WM_MOUSEMOVE), 2u);
    PressAt(409, 250);
    EXPECT_EQ(DefaultProcessed(WM_LBUTTONDOWN), 1u);
}

TEST_F(MouseStrikeTest, StrikeIsNoNoteEventSoItNeitherRepaintsNorNeedsTheOutput) {
    Start();
    StopAndDrain();
    sim.Graphics().ClearLog();
    PressAt(415, 220);
    MoveTo(409, 250, MK_LBUTTON);
    EXPECT_THAT(Sounding(), ElementsAre(60, 61));
    EXPECT_TRUE(sim.Graphics().Calls().empty());
    EXPECT_FALSE(sim.Wave().IsOpen());
}

}  // namespace
