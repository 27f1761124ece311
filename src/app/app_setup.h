#pragma once

class QApplication;

// Names the application and installs the toolkit's German texts. No display name is set: the window
// system would append it to every caption ("Arvelo - Vantero — Arvelo").
void setUpApplication(QApplication& app);
