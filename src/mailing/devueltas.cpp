#include "mailing/devueltas.h"

#include <algorithm>
#include <ctime>
#include <cctype>
#include <fstream>
#include <set>

#include "companion/rutas_correo.h"
#include "data/db_dll.h"
#include "platform/basic/archivos.h"
#include "platform/basic/diario_entregas.h"
#include "platform/basic/fecha.h"
#include "platform/basic/formato.h"
#include "platform/basic/regional.h"
#include "platform/basic/texto.h"
#include "startup/acceso.h"

namespace {

std::string Q(const std::string& s) { return basic::DoblarComillas(s); }

// "yyyymmdd" or "yyyy-mm-dd" at the start of `texto` as a date in `fechaCorta`; "" when it is none.
std::string Dia(const std::string& texto, const std::string& fechaCorta) {
  const bool guiones = texto.size() >= 10 && texto[4] == '-' && texto[7] == '-';
  const std::string d =
      guiones ? texto.substr(0, 4) + texto.substr(5, 2) + texto.substr(8, 2) : texto.substr(0, 8);
  if (d.size() != 8 || d.find_first_not_of("0123456789") != std::string::npos) return "";
  const int y = std::stoi(d.substr(0, 4)), m = std::stoi(d.substr(4, 2)), dia = std::stoi(d.substr(6, 2));
  if (y < 1900 || m < 1 || m > 12 || dia < 1 || dia > 31) return "";
  return basic::FormatFecha(basic::DateSerial(y, m, dia), fechaCorta);
}

// Percent escapes of the attachment name back to their bytes.
std::string SinEscapes(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      r += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      r += s[i];
    }
  }
  return r;
}

}  // namespace

std::vector<std::string> FechasDelEnvio(const EntregaFallida& f, const std::string& fechaCorta) {
  std::vector<std::string> r;
  for (const std::string& d : {Dia(f.idCola, fechaCorta), Dia(f.fecha, fechaCorta)})
    if (!d.empty() && std::find(r.begin(), r.end(), d) == r.end()) r.push_back(d);
  return r;
}

std::vector<std::string> SentenciasDevolver(const EntregaFallida& f, const std::string& fechaCorta) {
  std::vector<std::string> r;
  // The name is in the journal's text (UTF-8 in memory); the names of the database are too.
  const std::string nombre = SinEscapes(f.archivo);
  for (size_t guion = nombre.find('-'); guion != std::string::npos; guion = nombre.find('-', guion + 1)) {
    const std::string cuenta = nombre.substr(0, guion), id = nombre.substr(guion + 1);
    if (cuenta.empty() || id.empty()) continue;
    for (const std::string& fecha : FechasDelEnvio(f, fechaCorta))
      r.push_back("UPDATE c_mv_cpte SET fechaenviomail = NULL WHERE Cuenta = '" + Q(cuenta) +
                  "' and tc='OC' and idcomprobante='" + Q(id) + "' and fechaenviomail = '" + Q(fecha) + "'");
  }
  return r;
}

int DevolverFallidas(const std::string& carpetaAplicacion, const EntregasOrdenes& entregas) {
  const std::vector<EntregaFallida> fallidas = entregas.Fallidas();
  if (fallidas.empty() || !gDB().gOpenFlag) return 0;
  // Each failed mail is handled once per PC: its spool id and attachment, one per line.
  const std::string registro = RutaCarpetaLocal(carpetaAplicacion) + "/DEVUELTAS.TXT";
  std::set<std::string> hechas;
  {
    std::ifstream in(registro, std::ios::binary);
    for (std::string l; std::getline(in, l);) hechas.insert(l);
  }
  std::ofstream anotar;
  int devueltas = 0;
  for (const EntregaFallida& f : fallidas) {
    const std::string clave = f.idCola + "\t" + f.archivo;
    if (hechas.count(clave)) continue;
    long cambiadas = 0;
    try {
      for (const std::string& sql : SentenciasDevolver(f, basic::regional().fechaCorta)) {
        long afectados = 0;
        canalADO().Execute(*gDB().gCnn, sql, &afectados, -1);
        cambiadas += afectados > 0 ? afectados : 0;
      }
    } catch (...) {
      break;  // the database is not there now (or locked past its wait): the next load tries again
    }
    if (cambiadas > 0) {
      ++devueltas;
      RegistrarEvento("OCMAIL", "MAIL NO ENTREGADO " + f.archivo);
    }
    if (!anotar.is_open()) {
      try {
        CarpetaLocal(carpetaAplicacion);  // made with its rights when missing
      } catch (...) {
        continue;  // not recorded: the next load clears nothing twice (the write is conditional)
      }
      anotar.open(registro, std::ios::binary | std::ios::app);
    }
    anotar << clave << "\n";
  }
  return devueltas;
}

std::string TextoFallidasNuevas(const std::string& carpetaAplicacion, const EntregasOrdenes& entregas) {
  const std::string ruta = RutaCarpetaLocal(carpetaAplicacion) + "/VISTO.TXT";
  std::string visto;
  const bool primera = !std::ifstream(ruta).good();
  {
    std::ifstream in(ruta);
    std::getline(in, visto);
  }
  std::vector<EntregaFallida> nuevas;
  for (const EntregaFallida& f : entregas.Fallidas())
    if (f.fecha > visto) nuevas.push_back(f);
  try {
    CarpetaLocal(carpetaAplicacion);
    std::ofstream(ruta, std::ios::trunc) << basic::FechaDiario(std::time(nullptr)) << "\n";
  } catch (...) {
  }
  if (primera || nuevas.empty()) return "";
  std::sort(nuevas.begin(), nuevas.end(),
            [](const EntregaFallida& a, const EntregaFallida& b) { return a.fecha < b.fecha; });
  const size_t n = nuevas.size();
  std::string t = n == 1
                      ? "Desde la última sesión no se pudo entregar 1 orden:\n"
                      : "Desde la última sesión no se pudieron entregar " + std::to_string(n) + " órdenes:\n";
  const size_t mostradas = n <= 20 ? n : 19;
  for (size_t i = 0; i < mostradas; ++i)
    t += "\n" + basic::TextoVisible(nuevas[i].archivo) + ": " + basic::TextoVisible(nuevas[i].detalle);
  if (mostradas < n) t += "\ny " + std::to_string(n - mostradas) + " más";
  t += n == 1 ? "\n\nVuelve a la lista de pendientes, en rojo."
              : "\n\nVuelven a la lista de pendientes, en rojo.";
  return t;
}
