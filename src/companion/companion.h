#pragma once
// The companion library's shared objects: general functions, the computer, the
// workstation INI file, window helpers and the file-open dialog. Program-wide instances
// are created on first use (gFunciones()...) and released by LiberarCompanion() at
// shut-down. The report object Reporte and its engine live in reports/.
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/basic/error.h"
#include "platform/basic/variant.h"

class Funciones {
 public:
  // At most n characters (characters, not bytes).
  std::string CortarTexto(const std::string& texto, int n) const;
  // Text to a fixed-point number with four decimals: the leading number of the text,
  // where "," or "." is the decimal mark (the last one when both appear, the others being
  // thousands groups); text without a number gives 0.
  basic::Moneda ANumero(const std::string& texto) const;
  // The same number rounded half to even to a 16-bit integer; ErrorEjecucion 6 when it
  // does not fit.
  int16_t AEntero(const std::string& texto) const;
  // A value as text, Null as empty text.
  std::string SinNulo(const basic::Variant& valor) const;
  // A field (anything with Value() giving a Variant), Null as empty text.
  template <class Campo, class = decltype(std::declval<const Campo&>().Value())>
  std::string SinNulo(const Campo& campo) const {
    return SinNulo(basic::Variant(campo.Value()));
  }
  // Words separated by blanks (blanks, tabs, line ends).
  int ContarPalabras(const std::string& texto) const;
  // Every occurrence of each given character (or text) removed.
  std::string QuitarCaracter(const std::string& texto, const std::string& c1, const std::string& c2 = "",
                             const std::string& c3 = "") const;
  // Every occurrence of one character (or text) replaced by another.
  std::string ReemplazarCaracter(const std::string& texto, const std::string& viejo,
                                 const std::string& nuevo) const;
  // Every occurrence of a text replaced, compared exactly.
  std::string Reemplazar(const std::string& texto, const std::string& viejo, const std::string& nuevo) const;
  // A date picked by the operator in the short-date format; "" when cancelled.
  std::string ElegirFecha() const;
  // Window hooks; windows are opaque here and nothing depends on their effect.
  void AbrirFormulario(void* ventana, bool modal = false);
  void CerrarFormulario(void* ventana, const std::string& extra = "");
  // Codes: n > 0 gives the trimmed text right-aligned in n characters, as the suite
  // stores codes ("1" with 4 gives "   1"); a longer text is kept whole. Without a code
  // (n <= 0) the text as it is.
  std::string FormatearTexto(const std::string& texto, int n = 0) const;
  std::string FormatearTexto(const basic::Variant& valor, int n = 0) const;
  std::string FormatearTexto(const char* texto, int n = 0) const {
    return FormatearTexto(std::string(texto ? texto : ""), n);
  }
  // The operator prompt for a run-time error: "Ha ocurrido el Siguiente Error (n) desc",
  // critical icon with Abort/Retry/Ignore (18) unless buttons are given, title naming the
  // routine. Returns the answer (4 retry, 5 go on, else leave); 0 without asking for
  // error number 0.
  int MostrarError(const ErrorEjecucion& error, std::optional<int> botones = std::nullopt,
                   const std::string& rutina = "") const;
  int MostrarError(const ErrorEjecucion& error, const std::string& rutina) const {
    return MostrarError(error, std::nullopt, rutina);
  }
  // Reversible encoding safe inside a CSV line and an INI value: upper-case hex digits.
  // Decodificar gives back a text it cannot decode unchanged.
  std::string Codificar(const std::string& texto) const;
  std::string Decodificar(const std::string& texto) const;
  // The folder with exactly one trailing "/" (a trailing "\" counts as a separator);
  // blank stays "".
  std::string AgregarBarra(const std::string& carpeta) const;
};

class Equipo {
 public:
  std::string NombreEquipo() const;
  std::string UsuarioWindows() const;
  std::string CarpetaTemporal() const;  // without a trailing "/"
};

// INI files of the suite (Windows-1252, CR LF). A relative file name is taken from the
// INI folder: the application folder unless FijarCarpeta says otherwise.
class ArchivoIni {
 public:
  // The value of key in section (both without regard to case; blanks around the value
  // and one pair of enclosing double quotes removed); the default for a missing file,
  // section or key. Never fails.
  std::string LeerIni(const std::string& archivo, const std::string& seccion, const std::string& clave,
                      const std::string& defecto) const;
  // Writes (or replaces) the key, keeping the rest of the file. False when the file cannot
  // be written.
  bool GrabarIni(const std::string& archivo, const std::string& seccion, const std::string& clave,
                 const std::string& valor) const;
  // Full path of an INI file name, found whatever its case.
  std::string RutaArchivo(const std::string& archivo) const;

  static void FijarCarpeta(const std::string& carpeta);  // "" = the application folder
  static std::string Carpeta();
};

// The workstation INI file of the suite.
inline constexpr const char* kArchivoIniEquipo = "TM440kv.INI";

// Regional overrides from the section "Regional" of TM440kv.INI, keys "FechaCorta",
// "Hora", "SeparadorDecimal" and "SeparadorMiles": the ones present replace the defaults
// of basic::regional().
void CargarRegional(const ArchivoIni& ini, const std::string& archivo = kArchivoIniEquipo);

class Formulario {
 public:
  // Key-down in a field. Enter (13) means "go to the next control in tab order": the key
  // is consumed (set to 0) and the result is true; the window then moves the focus.
  // Other keys are left alone and give false.
  bool TeclaAbajo(int& codigoTecla) const;
  // A character typed into a field holding `texto`. Control characters that a field
  // cannot hold (other than Backspace, Enter and the clipboard/undo keys) become 0, so the
  // box ignores them; Enter stays 13 for the caller to discard; printable characters pass.
  void TeclaPresionada(const std::string& texto, int& caracter) const;
  // Index of the name equal to `nombre` without regard to case (blanks around ignored);
  // -1 when none.
  int IndiceControl(const std::string& nombre, const std::vector<std::string>& nombres) const;
};

// The open-file dialog behind CmdDlg of each data-access object.
class DialogoArchivo {
 public:
  std::string TituloDialogo;
  // Filter in the suite's form "Descripcion |*.MDB" (pairs separated by "|").
  std::string Filtro;
  std::string CarpetaInicial;

  // Asks the operator for a file.
  void MostrarAbrir();
  // The chosen file; "" after a cancel.
  const std::string& NombreArchivo() const { return nombreArchivo_; }
  // As the suite's callers read it: non-zero (-1) when the dialog was cancelled, 0 when a
  // file was chosen. Callers stop on non-zero.
  int16_t Aceptado() const { return cancelado_ ? -1 : 0; }
  bool Cancelado() const { return cancelado_; }

 private:
  std::string nombreArchivo_;
  bool cancelado_ = true;
};

// Program-wide instances, created on first use.
Funciones& gFunciones();
Equipo& gEquipo();
ArchivoIni& gArchivoIni();
Formulario& gFormulario();
// Releases the program-wide instances (the next use creates them again).
void LiberarCompanion();
