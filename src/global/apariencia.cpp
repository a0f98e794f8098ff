#include "global/apariencia.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QWidget>
#include <filesystem>
#include <fstream>

#include "companion/companion.h"
#include "data/db_dll.h"
#include "global/contexto.h"
#include "global/errores.h"
#include "platform/basic/numero.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/os/procesos.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador.h"

using basic::P;

namespace {

std::string CarpetaAplicacion() { return gFunciones().AgregarBarra(os::CarpetaAplicacion()); }

// A path with blanks stays one argument of the command line.
std::string Entrecomillar(const std::string& ruta) {
  return ruta.find(' ') == std::string::npos ? ruta : "\"" + ruta + "\"";
}

}  // namespace

Skin SkinDeValor(int valor) {
  switch (valor) {
    case 1: return {"Styles/Vista.cjstyles", ""};
    case 2: return {"Styles/WinXP.Luna.cjstyles", ""};
    case 3: return {"Styles/WinXP.Royale.cjstyles", ""};
    case 4: return {"Styles/iTunes", "Normalitunes.ini"};
    default: return {"Styles/Office2007.cjstyles", ""};
  }
}

int ValorSkinEquipo() {
  const std::string texto = gArchivoIni().LeerIni(
      "tm440kv.ini", basic::UCase(gEquipo().UsuarioWindows()) + "Styles", "Styles", "1");
  const double n = basic::Round(basic::Val(texto));
  if (n < -32768 || n > 32767) return 0;  // not a skin number: the "any other" skin
  return static_cast<int>(n);
}

std::string HojaDeEstiloDeSkin(const Skin& skin) {
  const std::string extension = ".cjstyles";
  const std::string& a = skin.archivo;
  if (a.size() > extension.size() && basic::IgualesSinCaso(a.substr(a.size() - extension.size()), extension))
    return a.substr(0, a.size() - extension.size()) + ".qss";
  std::string nombre = skin.ini;
  if (const auto punto = nombre.rfind('.'); punto != std::string::npos) nombre.resize(punto);
  return a + "/" + (nombre.empty() ? "skin" : nombre) + ".qss";
}

void AplicarSkin(QWidget* ventana) {
  if (!ventana) return;
  const Skin skin = SkinDeValor(ValorSkinEquipo());
  const std::string hoja = os::BuscarArchivoSinCaso(CarpetaAplicacion() + HojaDeEstiloDeSkin(skin));
  ventana->setProperty("SkinFramework1", QString::fromStdString(skin.archivo));
  if (hoja.empty()) return;
  QFile archivo(QString::fromStdString(hoja));
  if (!archivo.open(QIODevice::ReadOnly | QIODevice::Text)) return;
  ventana->setStyleSheet(QString::fromUtf8(archivo.readAll()));
  const int opciones = ventana->property("ApplyOptions").toInt();
  ventana->setProperty("ApplyOptions", opciones | 1);
}

void AsignarIcono(QWidget* ventana) {
  if (!ventana) return;
  try {
    QIcon icono(QStringLiteral(":/ICONTESSERA"));
    if (!icono.availableSizes().isEmpty()) ventana->setWindowIcon(icono);
    if (ventana->windowIcon().isNull() || ventana->windowIcon().availableSizes().isEmpty()) {
      const std::string ico = os::BuscarArchivoSinCaso("tessera.ico");
      if (!ico.empty()) ventana->setWindowIcon(QIcon(QString::fromStdString(ico)));
    }
    // The suite's three standard toolbars take gFlatToolbars as their style; the windows
    // of this program have none, so it is kept on the window for those that do.
    if (QString::fromUtf8(ventana->metaObject()->className()).toUpper() != "FRMMDI")
      ventana->setProperty("StyleBar", gFlatToolbars);
    QApplication::processEvents();
  } catch (...) {
  }
}

std::string LineaMenuExes(const std::string& parametro) {
  DB_Dll& db = gDB();
  return " ; @server=" + db.gServidor + "; @dbname=" + db.gDBName + "; @usuario=" + db.gUsuario +
         "; @Password=" + db.gUserPassWord + "; @ParametroAdicional=" + parametro +
         "; vxqr@ ; @UsuarioLogeado = " + gUsuarioLogeado + "; @Caja=" + gCaja + ";";
}

void MenuExes(const std::string& programa, std::string& parametro, long& tarea) {
  std::string linea;
  std::string comando;
  tarea = 0;
  basic::EjecutarPasos(
      {
          P([&] {
            if (const int blanco = basic::InStr(parametro, " "); blanco > 0)
              parametro = basic::Mid(parametro, blanco + 1);
          }),
          P([&] { linea = LineaMenuExes(parametro); }),
          P([&] {
            const std::string trasShell = basic::Len(programa) >= 7 ? basic::Mid(programa, 7) : "";
            if (basic::InStr(programa, "\\") > 0 || basic::InStr(programa, "/") > 0)
              comando = Entrecomillar(trasShell) + linea;
            else if (basic::InStr(programa, "SHELL", basic::CompararTexto) > 0)
              comando = Entrecomillar(CarpetaAplicacion() + trasShell) + linea;
            else
              comando = Entrecomillar(CarpetaAplicacion() + programa) + linea;
          }),
          P([&] { tarea = os::procesos().Iniciar(comando, os::vbNormalFocus); }),
          P([&] {
            if (tarea == 0)
              ui::operador().MsgBox("Opcion no Implementada!\rComuniquese con su proveedor de sistemas",
                                    int{ui::vbCritical} + int{ui::vbOKOnly}, "Atención");
          }),
      },
      [](const ErrorEjecucion& e) { return AvisoError(e, "MenuExes"); });
}

bool ArchivoExiste(const std::string& ruta) {
  try {
    std::string limpia;
    for (char c : ruta)
      if (c != '"') limpia += c;
    const std::string archivo = os::BuscarArchivoSinCaso(limpia);
    if (archivo.empty()) return false;
    std::error_code ec;
    if (std::filesystem::is_directory(archivo, ec)) return false;
    std::ifstream in(archivo, std::ios::binary);
    return static_cast<bool>(in);
  } catch (...) {
    return false;
  }
}
