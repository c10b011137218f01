// The stacking order of the application's windows, topmost first. On X11 it is the X
// server's own; elsewhere (other platforms tell no stacking order) it is the order in which the
// windows were last shown, activated or raised, which StartStackingTracker() records.
#pragma once

#include <QList>

class QWidget;

namespace kestrova {

// Starts recording shows, activations and raises; call before the first window is shown.
// Calling it again does nothing.
void StartStackingTracker();

// `windows` (top-level widgets with a native window) topmost first. Windows whose place is
// unknown follow, in the order given.
QList<QWidget*> WindowsTopFirst(const QList<QWidget*>& windows);

}  // namespace kestrova
