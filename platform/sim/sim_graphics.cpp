#include "platform/sim/sim_graphics.h"

#include <algorithm>

namespace sim {
namespace {

std::string Dc(const SimDeviceContext& dc) { return "dc" + std::to_string(dc.Number()); }
std::string BrushName(platform::BrushHandle brush) { return "brush " + std::to_string(brush); }

DrawCall Call(DrawKind kind, int dc) {
    DrawCall call{};
    call.kind = kind;
    call.dc = dc;
    return call;
}

}  // namespace

std::vector<DrawKind> SimGraphics::Kinds() const {
    std::vector<DrawKind> kinds;
    for (const DrawCall& call : calls_) kinds.push_back(call.kind);
    return kinds;
}

std::vector<std::string> SimGraphics::Problems() const {
    std::vector<std::string> problems = problems_;
    for (const auto& dc : contexts_)
        if (!dc->Released())
            problems.push_back(Dc(*dc) + (dc->ForPaint() ? " from BeginPaint never ended"
                                                         : " from GetDC never released"));
    return problems;
}

int SimGraphics::ContextsOut() const {
    return static_cast<int>(std::count_if(contexts_.begin(), contexts_.end(),
                                          [](const auto& dc) { return !dc->Released(); }));
}

int SimGraphics::LiveBrushes() const {
    return static_cast<int>(std::count_if(brushes_.begin(), brushes_.end(),
                                          [](const auto& entry) { return !entry.second.deleted; }));
}

void SimGraphics::Record(const DrawCall& call) {
    if (keepLog_) calls_.push_back(call);
}

platform::DeviceContext* SimGraphics::Acquire(bool forPaint) {
    const int number = static_cast<int>(contexts_.size()) + 1;
    contexts_.push_back(std::make_unique<SimDeviceContext>(*this, number, forPaint));
    Record(Call(forPaint ? DrawKind::BeginPaint : DrawKind::GetDC, number));
    return contexts_.back().get();
}

void SimGraphics::Release(platform::DeviceContext* given, bool forPaint) {
    const char* call = forPaint ? "EndPaint" : "ReleaseDC";
    SimDeviceContext* dc = Find(given);
    if (!dc) {
        Misuse(std::string(call) + " of a context that is not ours");
        return;
    }
    Record(Call(forPaint ? DrawKind::EndPaint : DrawKind::ReleaseDC, dc->Number()));
    if (dc->Released()) {
        Misuse(std::string(call) + " of " + Dc(*dc) + " twice");
        return;
    }
    if (dc->ForPaint() != forPaint)
        Misuse(std::string(call) + " of " + Dc(*dc) + " from " +
               (dc->ForPaint() ? "BeginPaint" : "GetDC"));
    dc->MarkReleased();
    for (const platform::BrushHandle brush : dc->Created())
        if (!brushes_.at(brush).deleted) Misuse(BrushName(brush) + " created on " + Dc(*dc) + " leaked");
}

platform::BrushHandle SimGraphics::CreateBrush(SimDeviceContext& dc, platform::ColorRef color) {
    CheckUsable(dc, "CreateSolidBrush");
    platform::BrushHandle handle = 0;
    if (!brushCreationFails_) {
        handle = static_cast<platform::BrushHandle>(brushes_.size()) + 1;
        brushes_[handle] = {color};
        dc.AddCreated(handle);
    }
    DrawCall call = Call(DrawKind::CreateSolidBrush, dc.Number());
    call.color = color;
    call.brush = handle;
    Record(call);
    return handle;
}

void SimGraphics::Selected(SimDeviceContext& dc, platform::BrushHandle brush,
                           platform::BrushHandle previous) {
    CheckUsable(dc, "SelectObject");
    if (brush != 0) {
        const auto found = brushes_.find(brush);
        if (found == brushes_.end()) Misuse("SelectObject of unknown " + BrushName(brush));
        else if (found->second.deleted) Misuse("SelectObject of deleted " + BrushName(brush));
    }
    DrawCall call = Call(DrawKind::SelectObject, dc.Number());
    call.brush = brush;
    call.previous = previous;
    Record(call);
}

bool SimGraphics::DeleteBrush(SimDeviceContext& dc, platform::BrushHandle brush) {
    CheckUsable(dc, "DeleteObject");
    DrawCall call = Call(DrawKind::DeleteObject, dc.Number());
    call.brush = brush;
    Record(call);
    const auto found = brushes_.find(brush);
    if (found == brushes_.end() || found->second.deleted) {
        Misuse("DeleteObject of " + std::string(found == brushes_.end() ? "unknown " : "deleted ") +
               BrushName(brush));
        return false;
    }
    for (const auto& other : contexts_)
        if (!other->Released() && other->Selected() == brush)
            Misuse("DeleteObject of " + BrushName(brush) + " still selected in " + Dc(*other));
    found->second.deleted = true;
    return true;
}

void SimGraphics::Draw(SimDeviceContext& dc, DrawKind kind, int left, int top, int right,
                       int bottom) {
    CheckUsable(dc, kind == DrawKind::DrawIcon ? "DrawIcon"
                    : kind == DrawKind::Ellipse ? "Ellipse"
                                                : "Rectangle");
    DrawCall call = Call(kind, dc.Number());
    call.left = left;
    call.top = top;
    call.right = right;
    call.bottom = bottom;
    if (kind != DrawKind::DrawIcon) {
        const auto found = brushes_.find(dc.Selected());
        if (found != brushes_.end()) {
            call.fill = found->second.color;
            if (found->second.deleted)
                Misuse("drawing on " + Dc(dc) + " with deleted " + BrushName(found->first));
        }
    }
    Record(call);
}

void SimGraphics::CheckUsable(const SimDeviceContext& dc, const char* call) {
    if (dc.Released()) Misuse(std::string(call) + " on " + Dc(dc) + " after it was given back");
}

SimDeviceContext* SimGraphics::Find(platform::DeviceContext* given) {
    // Contexts are never freed, so any pointer we handed out is still safe to look at.
    auto* dc = dynamic_cast<SimDeviceContext*>(given);
    if (!dc || dc->Number() < 1 || dc->Number() > static_cast<int>(contexts_.size()) ||
        contexts_[dc->Number() - 1].get() != dc)
        return nullptr;
    return dc;
}

std::vector<Shape> SimGraphics::ShapesOf(DrawKind kind) const {
    std::vector<Shape> shapes;
    for (const DrawCall& call : calls_)
        if (call.kind == kind) shapes.push_back({call.left, call.top, call.right, call.bottom, call.fill});
    return shapes;
}

}  // namespace sim
