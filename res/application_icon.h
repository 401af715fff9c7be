#pragma once
// The application icon in the two sizes a window system asks for, as XPM data.
namespace res {

extern const char* const ApplicationIcon32[];
extern const char* const ApplicationIcon16[];

}  // namespace res
