#pragma once

#include <QString>

#include <exception>
#include <functional>

class QWidget;

// The program's general error display: the text of an error that no handler caught, in a box captioned
// "Arvelo"; the window stays usable.
void showGeneralError(const QString& text, QWidget* parent = nullptr);

// Runs an event handler and shows what it throws.
void guarded(const std::function<void()>& handler, QWidget* parent = nullptr);
