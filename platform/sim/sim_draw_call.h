#pragma once
// One call on a simulated drawing context, as the drawing log keeps it.
#include <optional>
#include <ostream>
#include <string>

#include "platform/device_context.h"

namespace sim {

enum class DrawKind {
    GetDC,
    ReleaseDC,
    BeginPaint,
    EndPaint,
    CreateSolidBrush,
    SelectObject,
    DeleteObject,
    Rectangle,
    Ellipse,
    DrawIcon,
};

struct DrawCall {
    DrawKind kind;
    int dc;                                 // the context, numbered from 1 in order of creation
    platform::ColorRef color = 0;           // CreateSolidBrush: the colour asked for
    platform::BrushHandle brush = 0;        // CreateSolidBrush: the result; Select/DeleteObject: the argument
    platform::BrushHandle previous = 0;     // SelectObject: the result
    int left = 0, top = 0, right = 0, bottom = 0;  // Rectangle, Ellipse; DrawIcon: left, top
    std::optional<platform::ColorRef> fill;  // Rectangle, Ellipse: the selected brush's colour, if any

    bool operator==(const DrawCall&) const = default;
};

// A filled rectangle or ellipse, for tests that look only at what was drawn.
struct Shape {
    int left, top, right, bottom;
    std::optional<platform::ColorRef> fill;  // nothing: no brush was selected

    bool operator==(const Shape&) const = default;
};

std::string ToString(const DrawCall& call);
std::string ToString(const Shape& shape);
// So that test failures show the calls readably.
inline void PrintTo(const DrawCall& call, std::ostream* out) { *out << ToString(call); }
inline void PrintTo(const Shape& shape, std::ostream* out) { *out << ToString(shape); }

}  // namespace sim
