// What the lower band of the window shows: the clip lamp, the level meter and the
// ten-octave keyboard with its sounding keys and the base-note marker.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "app_fixture.h"

namespace {

using platform::ColorRef;
using platform::Rgb;
using sim::DrawKind;
using sim::Shape;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr ColorRef Light = Rgb(250, 250, 250);
constexpr ColorRef Red = Rgb(255, 0, 0);
constexpr ColorRef SoundingBlack = Rgb(0, 250, 200);
constexpr ColorRef SilentBlack = Rgb(10, 10, 10);
constexpr int FullRedraw = 3 + 116;  // lamp, meter bar, meter rest, then every key

// Within an octave: the white keys left to right, then the black ones.
constexpr int DrawOrder[] = {0, 2, 4, 5, 7, 9, 11, 1, 3, 6, 8, 10};

bool IsBlack(int note) {
    const int offset = note % 12;
    return offset == 1 || offset == 3 || offset == 6 || offset == 8 || offset == 10;
}

// A key's place: octave k starts at note 12 + 12k and x 10 + 98k; white columns are 14
// wide, and a black key, 8 wide, sits 10 pixels into the white column below it.
int KeyLeft(int note) {
    constexpr int ColumnOf[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
    const int octave = (note - 12) / 12;
    return 10 + 98 * octave + 14 * ColumnOf[note % 12] + (IsBlack(note) ? 10 : 0);
}

Shape KeyRect(int note, std::optional<ColorRef> fill) {
    const int left = KeyLeft(note);
    return IsBlack(note) ? Shape{left, 200, left + 8, 239, fill}
                         : Shape{left, 200, left + 14, 265, fill};
}

Shape Marker(int note, std::optional<ColorRef> fill) {
    const int left = KeyLeft(note);
    return IsBlack(note) ? Shape{left + 1, 264, left + 8, 257, fill}
                         : Shape{left + 3, 264, left + 8, 257, fill};
}

// Every key in drawing order (each octave's white keys, then its black keys) with the
// marker right after the base note's key; a black key's marker is always light.
std::vector<Shape> Keyboard(int baseNote, const std::function<std::optional<ColorRef>(int)>& fill) {
    std::vector<Shape> shapes;
    for (int first = 12; first <= 127; first += 12)
        for (const int offset : DrawOrder) {
            const int note = first + offset;
            if (note > 127) continue;
            shapes.push_back(KeyRect(note, fill(note)));
            if (note == baseNote)
                shapes.push_back(Marker(note, IsBlack(note) ? Light : fill(note)));
        }
    return shapes;
}

std::optional<ColorRef> Silent(int note) { return IsBlack(note) ? SilentBlack : Light; }

class KeyboardViewTest : public AppTest {
protected:
    void SetUp() override { Start(); }
    // Whatever a test did, no brush was misused or leaked and every context went back.
    void TearDown() override {
        StopAndDrain();
        EXPECT_THAT(sim.Graphics().Problems(), IsEmpty());
        EXPECT_EQ(sim.Graphics().LiveBrushes(), 0);
    }

    void Refresh() {
        sim.Graphics().ClearLog();
        Tick();
    }
    void Press(platform::WPARAM key) {
        sim.KeyDown(key);
        sim.Pump();
    }
    // Rectangles and ellipses in the order drawn.
    std::vector<Shape> Drawn() {
        std::vector<Shape> shapes;
        for (const sim::DrawCall& call : sim.Graphics().Calls())
            if (call.kind == DrawKind::Rectangle || call.kind == DrawKind::Ellipse)
                shapes.push_back({call.left, call.top, call.right, call.bottom, call.fill});
        return shapes;
    }
    std::optional<ColorRef> FillOf(const Shape& key) {
        for (const Shape& drawn : sim.Graphics().Rectangles())
            if (drawn.left == key.left && drawn.top == key.top && drawn.right == key.right &&
                drawn.bottom == key.bottom)
                return drawn.fill;
        ADD_FAILURE() << "no key drawn at " << sim::ToString(key);
        return std::nullopt;
    }
    size_t Count(DrawKind kind) { return std::ranges::count(sim.Graphics().Kinds(), kind); }
    void Sound(int note, double level) { Engine().VoiceTable[note] = {1, 0.0, level}; }
};

TEST_F(KeyboardViewTest, FirstRefreshDrawsEveryKeySilentWithTheMarkerOnNote59) {
    Refresh();
    std::vector<Shape> expected = {{312, 180, 322, 190, Light}, {10, 180, 10, 190, Red},
                                   {10, 180, 310, 190, Light}};
    for (const Shape& shape : Keyboard(59, Silent)) expected.push_back(shape);
    EXPECT_EQ(Drawn(), expected);
    EXPECT_EQ(sim.Graphics().Rectangles().size(), size_t{FullRedraw});
    EXPECT_THAT(sim.Graphics().Ellipses(), ElementsAre(Shape{391, 264, 396, 257, Light}));
    EXPECT_EQ(KeyRect(59, Light), (Shape{388, 200, 402, 265, Light}));
}

TEST_F(KeyboardViewTest, RefreshWithoutVoiceChangeRedrawsOnlyLampAndMeter) {
    Refresh();
    dialog->NoteEvent(60, 127);  // held: its level stays put
    Refresh();
    EXPECT_EQ(sim.Graphics().Rectangles().size(), 3u);
    EXPECT_THAT(sim.Graphics().Ellipses(), IsEmpty());
    EXPECT_EQ(Count(DrawKind::CreateSolidBrush), 2u);
}

TEST_F(KeyboardViewTest, ClipLampIsRedWhileTheClipFlagIsSet) {
    Engine().ClipFlag = 1;
    Refresh();
    EXPECT_EQ(Drawn().front(), (Shape{312, 180, 322, 190, Red}));
    Engine().ClipFlag = 0;
    Refresh();
    EXPECT_EQ(Drawn().front(), (Shape{312, 180, 322, 190, Light}));
}

TEST_F(KeyboardViewTest, MeterBarEndsAtPeakTimes300Over32768) {
    // The bar ends at 10 + trunc(peak * 300 / 32768).
    const struct {
        double peak;
        int end;
    } cases[] = {{0.0, 10}, {32767.0, 309}, {16384.0, 160}, {109.0, 10}};
    for (const auto [peak, end] : cases) {
        Engine().PeakSample = peak;
        Refresh();
        const std::vector<Shape> drawn = Drawn();
        ASSERT_GE(drawn.size(), 3u);
        EXPECT_EQ(drawn[1], (Shape{10, 180, end, 190, Red})) << peak;
        EXPECT_EQ(drawn[2], (Shape{end, 180, 310, 190, Light})) << peak;
    }
}

TEST_F(KeyboardViewTest, SoundingWhiteKeysBrightenWithTheirLevel) {
    Sound(60, 2000);
    Sound(62, 3000);
    Sound(64, 4000);
    Sound(65, 9000);
    Sound(67, 15);
    Sound(69, 0);
    Sound(72, 16);
    Engine().VoiceTable[71] = {0, 0.0, 3000};  // not sounding, whatever its level
    Refresh();
    EXPECT_EQ(FillOf(KeyRect(60, {})), Rgb(0, 125, 100));
    EXPECT_EQ(FillOf(KeyRect(62, {})), Rgb(0, 187, 150));
    EXPECT_EQ(FillOf(KeyRect(64, {})), Rgb(0, 250, 200));
    EXPECT_EQ(FillOf(KeyRect(65, {})), Rgb(0, 250, 200));
    EXPECT_EQ(FillOf(KeyRect(67, {})), Rgb(0, 0, 0));
    EXPECT_EQ(FillOf(KeyRect(69, {})), Rgb(0, 0, 0));
    EXPECT_EQ(FillOf(KeyRect(72, {})), Rgb(0, 1, 0));
    EXPECT_EQ(FillOf(KeyRect(71, {})), Light);
    // Four shared brushes plus one of its own for each sounding white key.
    EXPECT_EQ(Count(DrawKind::CreateSolidBrush), 4u + 7u);
}

TEST_F(KeyboardViewTest, AFractionalLevelCountsOnlyItsWholePart) {
    Sound(60, 31.9);    // 31: green 7750/4000 and blue 6200/4000, both 1
    Sound(62, 15.99);   // 15: still black
    Sound(64, -15.5);   // -15: black, not -16's wrapped green
    Sound(65, -16.0);   // green -1 keeps its low 8 bits
    Sound(67, 3999.9);  // 3999: just short of full
    Refresh();
    EXPECT_EQ(FillOf(KeyRect(60, {})), Rgb(0, 1, 1));
    EXPECT_EQ(FillOf(KeyRect(62, {})), Rgb(0, 0, 0));
    EXPECT_EQ(FillOf(KeyRect(64, {})), Rgb(0, 0, 0));
    EXPECT_EQ(FillOf(KeyRect(65, {})), Rgb(0, 255, 0));
    EXPECT_EQ(FillOf(KeyRect(67, {})), Rgb(0, 249, 199));
}

TEST_F(KeyboardViewTest, BlackKeysAreNarrowShortAndLitWhenSounding) {
    Sound(13, 0);  // a sounding black key takes one colour whatever its level
    Refresh();
    EXPECT_EQ(FillOf({20, 200, 28, 239, {}}), SoundingBlack);
    EXPECT_EQ(FillOf({34, 200, 42, 239, {}}), SilentBlack);  // note 15
    EXPECT_EQ(FillOf(KeyRect(126, {})), SilentBlack);
}

TEST_F(KeyboardViewTest, MarkerOnABlackKeyIsLightAndSitsBelowIt) {
    Press(platform::VK_RIGHT);
    Sound(61, 4000);
    sim.Graphics().ClearLog();
    Press(platform::VK_RIGHT);  // base 61
    const std::vector<Shape> keys = Keyboard(61, [](int note) -> std::optional<ColorRef> {
        return note == 61 ? SoundingBlack : Silent(note);
    });
    const std::vector<Shape> drawn = Drawn();
    ASSERT_EQ(drawn.size(), 3 + keys.size());
    EXPECT_TRUE(std::equal(keys.begin(), keys.end(), drawn.begin() + 3));
    EXPECT_THAT(sim.Graphics().Ellipses(), ElementsAre(Shape{413, 264, 420, 257, Light}));
}

TEST_F(KeyboardViewTest, NotesAbove127AreNeverDrawnButTheirChangesRedraw) {
    Refresh();
    Sound(200, 100);
    Refresh();
    const std::vector<Shape> drawn = Drawn();
    const std::vector<Shape> keys = Keyboard(59, Silent);
    ASSERT_EQ(drawn.size(), 3 + keys.size());
    EXPECT_TRUE(std::equal(keys.begin(), keys.end(), drawn.begin() + 3));
    Refresh();
    EXPECT_EQ(sim.Graphics().Rectangles().size(), 3u);
}

TEST_F(KeyboardViewTest, NoteOffAloneDoesNotRedrawUntilTheLevelFalls) {
    Press('Q');
    Refresh();
    sim.Graphics().ClearLog();
    sim.KeyUp('Q');
    sim.Pump();
    EXPECT_THAT(sim.Graphics().Calls(), IsEmpty());
    Refresh();
    EXPECT_EQ(sim.Graphics().Rectangles().size(), 3u);
    Complete(1);  // the first rendered block lowers the level
    Refresh();
    EXPECT_EQ(sim.Graphics().Rectangles().size(), size_t{FullRedraw});
}

TEST_F(KeyboardViewTest, PaintWhileShownDrawsNothingButTheNextRefreshRedrawsAllKeys) {
    Refresh();
    sim.Graphics().ClearLog();
    window->Paint();
    sim.Pump();
    EXPECT_THAT(Drawn(), IsEmpty());
    // The system's own painting runs, so the window counts as painted.
    EXPECT_THAT(sim.Graphics().Kinds(), ElementsAre(DrawKind::BeginPaint, DrawKind::EndPaint));
    Refresh();
    EXPECT_EQ(sim.Graphics().Rectangles().size(), size_t{FullRedraw});
}

TEST_F(KeyboardViewTest, PaintWhileMinimisedDrawsTheIconCentred) {
    Refresh();
    window->SetIconic(true);
    sim.Graphics().ClearLog();
    window->Paint();
    sim.Pump();
    const platform::Rect client = window->GetClientRect();
    const int icon = window->GetSystemMetrics(platform::SM_CXICON);
    ASSERT_EQ(icon, window->GetSystemMetrics(platform::SM_CYICON));
    const std::vector<sim::DrawCall>& calls = sim.Graphics().Calls();
    const auto drawIcon = std::ranges::find(calls, DrawKind::DrawIcon, &sim::DrawCall::kind);
    ASSERT_NE(drawIcon, calls.end());
    EXPECT_EQ(drawIcon->left, (client.right - client.left - icon + 1) / 2);
    EXPECT_EQ(drawIcon->top, (client.bottom - client.top - icon + 1) / 2);
    EXPECT_EQ(calls.front().kind, DrawKind::BeginPaint);
    EXPECT_THAT(Drawn(), IsEmpty());
}

TEST_F(KeyboardViewTest, NoMarkerWhileTheBaseIsBelowTheLowestKey) {
    for (int i = 0; i < 47; ++i) Press(platform::VK_LEFT);
    EXPECT_EQ(sim.Graphics().Ellipses().back(), Marker(12, Light));  // base 12, the lowest key
    sim.Graphics().ClearLog();
    Press(platform::VK_LEFT);
    EXPECT_EQ(sim.Graphics().Rectangles().size(), size_t{FullRedraw});
    EXPECT_THAT(sim.Graphics().Ellipses(), IsEmpty());
}

TEST_F(KeyboardViewTest, WithoutBrushesEveryShapeIsStillDrawnWithTheContextsBrush) {
    sim.Graphics().SetBrushCreationFails(true);
    Sound(60, 2000);
    Sound(61, 2000);
    Refresh();
    const std::vector<Shape> drawn = Drawn();
    EXPECT_EQ(drawn.size(), size_t{FullRedraw} + 1);
    EXPECT_TRUE(std::ranges::all_of(drawn, [](const Shape& shape) { return !shape.fill; }));
    EXPECT_EQ(Count(DrawKind::DeleteObject), 0u);
}

}  // namespace
