#pragma once
// Appearance (skin and icon) and the launcher of the suite's other programs.
#include <string>

class QWidget;

// Skin chosen on this computer: numeric value of "Styles" in section
// UPPER(user) + "Styles" of tm440kv.ini (default "1").
struct Skin {
  std::string archivo;  // relative to the application folder, e.g. "Styles/Vista.cjstyles"
  std::string ini;      // "Normalitunes.ini" for skin 4, else ""
};
Skin SkinDeValor(int valor);
int ValorSkinEquipo();
// The Qt style sheet that stands for a skin file: the same name with ".qss" instead of
// ".cjstyles"; a skin folder ("Styles/iTunes") holds its sheet named after its INI
// ("Styles/iTunes/Normalitunes.qss").
std::string HojaDeEstiloDeSkin(const Skin& skin);

// Gives the window this computer's skin: its style sheet from the application folder.
// A missing sheet leaves the native style.
void AplicarSkin(QWidget* ventana);
// Gives the window the suite's icon (the program's "ICONTESSERA" resource, else
// "tessera.ico" in the current folder). Never raises.
void AsignarIcono(QWidget* ventana);

// The launch line with which another program of the suite is started with the current
// connection and user.
std::string LineaMenuExes(const std::string& parametro);
// Starts another program of the suite ("SHELL:NAME", "SHELL:/full/path" or "NAME") with
// the launch line; `tarea` receives the process id, 0 when nothing was started (and the
// operator is told). When `parametro` holds a blank only what follows it is kept.
void MenuExes(const std::string& programa, std::string& parametro, long& tarea);

// True when the path (double quotes removed) names a file that can be opened for
// reading. Never raises.
bool ArchivoExiste(const std::string& ruta);
