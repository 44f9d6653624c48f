#pragma once

#include <QApplication>

#include <memory>

// The program's windows need a display. Without one, Qt ends the process with an abort and
// a hint to reinstall; the program says instead, in one line on stderr, that it needs a
// graphical display and ends with kExitNoDisplay.
namespace GraphicalDisplay
{
inline constexpr int kExitNoDisplay = 1;

// Creates the application on the display the environment or the command line names
// (QT_QPA_PLATFORM, DISPLAY or WAYLAND_DISPLAY, or -platform or -display). Returns only with a
// running application: with none named, or one that cannot be opened, the process ends.
std::unique_ptr<QApplication> OpenApplication(int& argc, char** argv);
} // namespace GraphicalDisplay
