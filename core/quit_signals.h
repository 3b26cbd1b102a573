#pragma once

class QWidget;

// SIGINT and SIGTERM close the window as its own close control would, so a logout or Ctrl+C still
// closes the port and writes the trace. The handler only writes a byte; the window closes from the loop.
void close_on_quit_signals(QWidget* window);
