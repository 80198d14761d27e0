#pragma once
// SIGTERM and SIGINT close a window the normal way, so that whatever it saves on closing
// (layout, settings, caches) is saved. The signal handler only writes a byte to a pipe; the
// window is closed on the user-interface thread when that byte arrives.

class QWidget;

namespace kelvra {

// Installs the handlers once; later calls only change the window. The window is not owned.
void CloseOnTermSignals(QWidget *window);

} // namespace kelvra
