// Saving and restoring where every form was, in which window state, whether it was visible
// and in which stacking order, below "Options\Forms" of the application's key.
//
// Left, Top, Width and Height are the client area of the normal (not maximised or minimised)
// window, as Qt sets it back. The window manager places minimised and maximised windows on
// this platform: MinLeft and MinTop are written as -1 (no icon position), MaxLeft and MaxTop
// as the maximised window's position (-1 when it is not maximised), and neither is used when
// restoring.
#pragma once

#include <string_view>

namespace kestrova {

class VMurAppInfo;

// Writes "ZOrder" (all forms, topmost first) and the values of each form whose name is not in
// `except_names` ("|A|B|"). Raises ERegistryException when the settings cannot be written.
void SaveFormPlacement(const VMurAppInfo& info, std::string_view except_names);

// Places every form from the stored values, the bottom form first so that the first form of
// the restore order ends up on top.
void RestoreFormPlacement(const VMurAppInfo& info);

}  // namespace kestrova
