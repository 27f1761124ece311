#pragma once

#include <QByteArray>

#include <optional>

// The window program's own options: "--version" and "--help" (or "-h"). They are answered before any window
// exists, so they work without a display; every other argument is left to the toolkit (-platform, -style, ...).
// The text to print on standard output and end with, or nothing to start the window.
std::optional<QByteArray> commandLineAnswer(int argc, const char* const* argv);
