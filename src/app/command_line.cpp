#include "app/command_line.h"

#include <cstring>

std::optional<QByteArray> commandLineAnswer(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0)
            return QByteArray("arvelo " ARVELO_VERSION "\n");
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return QByteArray(
                "Aufruf: arvelo [--version] [--help]\n"
                "\n"
                "Startet das Fenster von Arvelo: \"User auslesen\" liest die User des Servers, \"Berechnung\n"
                "starten\" misst ihre Archivordner. Der Server ist der Ordner, den ARVELO_SERVER nennt, sonst\n"
                "demo-server neben dem Programm, sonst der Demo-Server im Datenordner des Benutzers.\n"
                "\n"
                "  --version   die Version ausgeben\n"
                "  -h, --help  dieser Text\n");
    }
    return std::nullopt;
}
