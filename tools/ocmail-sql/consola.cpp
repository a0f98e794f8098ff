#include "ocmail-sql/consola.h"

#include <charconv>
#include <cstdio>
#include <istream>
#include <ostream>

#include "data/db_dll.h"
#include "platform/basic/fecha.h"
#include "platform/ui/operador.h"

namespace ocmailsql {

namespace {

std::string Minusculas(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Recortar(const std::string& s) {
  const char* blancos = " \t\r\n";
  size_t a = s.find_first_not_of(blancos);
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(blancos);
  return s.substr(a, b - a + 1);
}

// CR LF and a lone CR (the suite's line break in messages) as plain line ends.
std::string Renglones(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      r += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      r += s[i];
    }
  }
  return r;
}

// Nobody sits at a console run: every question is answered with the way out (No, Abort,
// Cancel), and what would have been shown goes to the error stream.
class OperadorConsola : public ui::Operador {
 public:
  explicit OperadorConsola(std::ostream& errores) : errores_(errores) {}

  int MsgBox(const std::string& texto, int estilo, const std::string& titulo) override {
    errores_ << "[" << Recortar(titulo) << "] " << Renglones(Recortar(texto)) << "\n";
    switch (estilo & 0x0F) {
      case ui::vbOKOnly: return ui::vbOK;
      case ui::vbAbortRetryIgnore: return ui::vbAbort;
      case ui::vbYesNo: return ui::vbNo;
      default: return ui::vbCancel;
    }
  }
  std::string InputBox(const std::string&, const std::string&, const std::string&) override { return ""; }
  std::string ElegirFecha() override { return ""; }
  std::string AbrirArchivo(const std::string&, const std::string&, const std::string&) override { return ""; }
  void MostrarModal(ui::VentanaModal& ventana) override {
    errores_ << "[" << ventana.NombreVentana() << "] ventana no disponible en la consola\n";
  }
  [[noreturn]] void FinPrograma(int codigo) override {
    errores_ << "ocmail-sql: el programa termina (codigo " << codigo << ")\n";
    errores_.flush();
    std::fflush(nullptr);
    std::_Exit(codigo == 0 ? 1 : codigo);
  }

 private:
  std::ostream& errores_;
};

void ImprimirErrores(const ado::Errors& lista, std::ostream& errores) {
  for (long i = 0; i < lista.Count(); ++i) {
    const ado::Error& e = lista.Item(i);
    errores << "Error " << e.Number << "\tSQLState " << e.SQLState << "\tNativo " << e.NativeError << "\t"
            << e.Description << "\n";
  }
}

std::string Dos(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

}  // namespace

ValoresLanzamiento LeerLineaLanzamiento(const std::string& linea) {
  ValoresLanzamiento v;
  size_t inicio = 0;
  while (inicio <= linea.size()) {
    size_t fin = linea.find(';', inicio);
    std::string par = linea.substr(inicio, fin == std::string::npos ? std::string::npos : fin - inicio);
    size_t igual = par.find('=');
    if (igual != std::string::npos) {
      const std::string clave = Minusculas(Recortar(par.substr(0, igual)));
      const std::string valor = Recortar(par.substr(igual + 1));
      if (clave == "@server")
        v.servidor = valor;
      else if (clave == "@dbname")
        v.base = valor;
      else if (clave == "@usuario")
        v.usuario = valor;
      else if (clave == "@password")
        v.clave = valor;
    }
    if (fin == std::string::npos) break;
    inicio = fin + 1;
  }
  return v;
}

bool ConectarGDB(const ValoresLanzamiento& v) {
  DB_Dll& db = gDB();
  db.gServidor = v.servidor;
  db.gDBName = v.base;
  db.gUsuario = v.usuario;
  db.gUserPassWord = v.clave;
  // As the start-up: administrator check on, failures shown (the console operator
  // prints them and declines the retry).
  db.OpenServerADODB(false, 3, "", true, true);
  return db.gOpenFlag != DB_Dll::Falso;
}

bool DevuelveFilas(const std::string& sentencia) {
  std::string s = Recortar(sentencia);
  size_t i = 0;
  while (i < s.size() && (s[i] == '(' || s[i] == ' ' || s[i] == '\t')) ++i;
  size_t j = i;
  while (j < s.size() && std::isalpha(static_cast<unsigned char>(s[j]))) ++j;
  const std::string palabra = Minusculas(s.substr(i, j - i));
  return palabra == "select" || palabra == "with" || palabra == "values" || palabra == "pragma";
}

std::string TextoValor(const basic::Variant& v) {
  using basic::TipoVariant;
  switch (v.Tipo()) {
    case TipoVariant::Null: return "NULL";
    case TipoVariant::Empty: return "";
    case TipoVariant::Boolean: return v.Booleano() ? "1" : "0";
    case TipoVariant::Integer:
    case TipoVariant::Long: return std::to_string(v.Entero());
    case TipoVariant::Double: {
      char b[64];
      auto r = std::to_chars(b, b + sizeof b, v.Numero());
      return std::string(b, r.ptr);
    }
    case TipoVariant::Currency: {
      char b[64];
      std::snprintf(b, sizeof b, "%.4f", v.Numero());
      std::string s = b;
      while (!s.empty() && s.back() == '0') s.pop_back();
      if (!s.empty() && s.back() == '.') s.pop_back();
      return s;
    }
    case TipoVariant::Date: {
      const basic::Fecha f = v.AFecha();
      char b[32];
      std::snprintf(b, sizeof b, "%04d-%02d-%02d ", basic::Year(f), basic::Month(f), basic::Day(f));
      return b + Dos(basic::Hour(f)) + ":" + Dos(basic::Minute(f)) + ":" + Dos(basic::Second(f));
    }
    case TipoVariant::String: {
      std::string r;
      for (char c : *v.Cadena()) {
        switch (c) {
          case '\t': r += "\\t"; break;
          case '\r': r += "\\r"; break;
          case '\n': r += "\\n"; break;
          case '\\': r += "\\\\"; break;
          default: r += c;
        }
      }
      return r;
    }
  }
  return v.Texto();
}

bool EjecutarSentencia(const std::string& sentencia, std::ostream& salida, std::ostream& errores) {
  DB_Dll& db = gDB();
  db.gCnn->Errors().Clear();
  if (DevuelveFilas(sentencia)) {
    ado::Recordset rs;
    db.AbrirRecordset(sentencia, rs, nullptr, ado::adOpenForwardOnly, ado::adLockReadOnly, -1, true);
    if (rs.State() == ado::adStateClosed) {
      if (db.gCnn->Errors().Count() == 0) errores << "Error\tla sentencia no devolvio un conjunto de filas\n";
      ImprimirErrores(db.gCnn->Errors(), errores);
      return false;
    }
    try {
      const long n = rs.FieldCount();
      for (long i = 0; i < n; ++i) salida << (i ? "\t" : "") << rs.Fields(i).Name();
      salida << "\n";
      while (!rs.Eof()) {
        for (long i = 0; i < n; ++i) salida << (i ? "\t" : "") << TextoValor(rs.Fields(i).Value());
        salida << "\n";
        rs.MoveNext();
      }
    } catch (const ErrorEjecucion& e) {
      if (db.gCnn->Errors().Count() > 0)
        ImprimirErrores(db.gCnn->Errors(), errores);
      else
        errores << "Error " << e.Number << "\t" << e.Description << "\n";
      db.CierraRecordset(rs);
      return false;
    }
    db.CierraRecordset(rs);
    return true;
  }
  long afectados = 0;
  db.EjecutaConsultaSQL(sentencia, afectados);
  if (db.gCnn->Errors().Count() > 0) {
    ImprimirErrores(db.gCnn->Errors(), errores);
    return false;
  }
  errores << "(" << afectados << " filas afectadas)\n";
  return true;
}

int EjecutarConsola(const std::string& linea, const std::vector<std::string>& sentencias,
                    std::istream& entrada, std::ostream& salida, std::ostream& errores) {
  OperadorConsola operador(errores);
  ui::InstalarOperador(&operador);
  struct Restaurar {
    ~Restaurar() { ui::InstalarOperador(nullptr); }
  } restaurar;

  if (!ConectarGDB(LeerLineaLanzamiento(linea))) {
    if (gDB().gCnn->Errors().Count() == 0) errores << "Error\tno se pudo conectar con la base de datos\n";
    ImprimirErrores(gDB().gCnn->Errors(), errores);
    return 2;
  }

  auto correr = [&](const std::string& s) {
    if (Recortar(s).empty()) return true;
    return EjecutarSentencia(s, salida, errores);
  };
  if (!sentencias.empty()) {
    for (const std::string& s : sentencias)
      if (!correr(s)) return 1;
    return 0;
  }
  std::string renglon;
  while (std::getline(entrada, renglon))
    if (!correr(renglon)) return 1;
  return 0;
}

}  // namespace ocmailsql
