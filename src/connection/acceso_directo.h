#pragma once
// The desktop shortcut to the program: a freedesktop entry "Relojero.desktop" in the
// user's desktop folder, starting the program and showing its icon.
#include <string>

inline constexpr const char* kArchivoAccesoDirecto = "Relojero.desktop";

// The user's desktop folder, first of: the XDG_DESKTOP_DIR environment variable; the
// XDG_DESKTOP_DIR entry of user-dirs.dirs (in XDG_CONFIG_HOME, else ~/.config); an
// existing ~/Escritorio; ~/Desktop. Raises ErrorEjecucion when there is no home folder.
std::string CarpetaEscritorio();

// The icon shown by the shortcut: the first of <program>.svg, .png, .xpm, .ico found beside
// the program (any case), else the program itself.
std::string IconoPrograma(const std::string& programa);

// The text of the desktop entry for a program and an icon (UTF-8, LF line ends), with the
// Exec and value escaping of the desktop-entry format.
std::string ContenidoAccesoDirecto(const std::string& programa, const std::string& icono);

// Writes (or replaces) the shortcut to the running program; returns its path. Failures
// raise ErrorEjecucion.
std::string CrearAccesoDirecto();
