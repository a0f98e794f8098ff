// The class as a whole: the ADO call channel, the program-wide instances, the factory of
// the connection window and the small shared helpers.
#include "data/db_dll.h"

#include <cctype>

#include "data/ventana_acceso.h"

int16_t SS_CONFIDENCIALIDAD = 0;

// ---- ADO call channel ----

void CanalADO::Open(ado::Connection& cn, const std::string& cadena, const std::string& usuario,
                    const std::string& clave, long opciones) {
  cn.Open(cadena, usuario, clave, opciones);
}

void CanalADO::Close(ado::Connection& cn) { cn.Close(); }

std::shared_ptr<ado::Recordset> CanalADO::Execute(ado::Connection& cn, const std::string& sql,
                                                  long* afectados, long opciones) {
  return cn.Execute(sql, afectados, opciones);
}

void CanalADO::OpenRecordset(ado::Recordset& rs, const std::string& fuente, ado::Connection& cn, long cursor,
                             long bloqueo, long opciones) {
  rs.Open(fuente, cn, cursor, bloqueo, opciones);
}

std::shared_ptr<ado::Recordset> CanalADO::OpenSchema(ado::Connection& cn, long esquema,
                                                     const std::vector<basic::Variant>& restricciones) {
  return cn.OpenSchema(esquema, restricciones);
}

void CanalADO::BeginTrans(ado::Connection& cn) { cn.BeginTrans(); }
void CanalADO::CommitTrans(ado::Connection& cn) { cn.CommitTrans(); }
void CanalADO::RollbackTrans(ado::Connection& cn) { cn.RollbackTrans(); }

namespace {

CanalADO* canalInstalado = nullptr;

struct Instancias {
  std::unique_ptr<DB_Dll> db, estadisticas, auxiliar, consultas;
};

Instancias& instancias() {
  static Instancias i;
  return i;
}

DB_Dll& CrearAlUsar(std::unique_ptr<DB_Dll>& p) {
  if (!p) p = std::make_unique<DB_Dll>();
  return *p;
}

FabricaVentanaAcceso& fabricaVentana() {
  static FabricaVentanaAcceso f;
  return f;
}

char Minuscula(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Length of a password key ("pwd", "password", followed by blanks and "=") at i, 0 if none.
size_t ClaveEn(const std::string& t, size_t i) {
  if (i > 0 && std::isalnum(static_cast<unsigned char>(t[i - 1]))) return 0;
  for (const std::string nombre : {"password", "pwd"}) {
    if (t.size() - i < nombre.size()) continue;
    bool igual = true;
    for (size_t k = 0; k < nombre.size() && igual; ++k) igual = Minuscula(t[i + k]) == nombre[k];
    if (!igual) continue;
    size_t j = i + nombre.size();
    while (j < t.size() && t[j] == ' ') ++j;
    if (j < t.size() && t[j] == '=') return j + 1 - i;
  }
  return 0;
}

}  // namespace

CanalADO& canalADO() {
  static CanalADO porDefecto;
  return canalInstalado ? *canalInstalado : porDefecto;
}

void InstalarCanalADO(CanalADO* canal) { canalInstalado = canal; }

// ---- Program-wide instances ----

DB_Dll& gDB() { return CrearAlUsar(instancias().db); }
DB_Dll& gDBEstadisticas() { return CrearAlUsar(instancias().estadisticas); }
DB_Dll& gDBAuxiliar() { return CrearAlUsar(instancias().auxiliar); }
DB_Dll& gDBConsultas() { return CrearAlUsar(instancias().consultas); }

void LiberarGDB() { instancias().db.reset(); }

void LiberarInstanciasDB() {
  auto& i = instancias();
  i.consultas.reset();
  i.auxiliar.reset();
  i.estadisticas.reset();
  i.db.reset();
}

// ---- Connection window factory ----

void InstalarFabricaVentanaAcceso(FabricaVentanaAcceso f) { fabricaVentana() = std::move(f); }
const FabricaVentanaAcceso& FabricaDeVentanaAcceso() { return fabricaVentana(); }

// ---- Helpers ----

std::string OcultarClaves(const std::string& texto) {
  std::string r;
  r.reserve(texto.size());
  size_t i = 0;
  while (i < texto.size()) {
    const size_t n = ClaveEn(texto, i);
    if (n == 0) {
      r += texto[i++];
      continue;
    }
    r.append(texto, i, n);
    i += n;
    size_t fin = texto.find(';', i);
    if (fin == std::string::npos) fin = texto.size();
    if (fin > i) r += "****";
    i = fin;
  }
  return r;
}

Funciones& DB_Dll::funciones() {
  if (!funciones_) funciones_ = std::make_unique<Funciones>();
  return *funciones_;
}
