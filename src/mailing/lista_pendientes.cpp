#include "mailing/lista_pendientes.h"

#include <algorithm>
#include <unordered_set>

#include "companion/companion.h"
#include "platform/ado/ado.h"
#include "platform/basic/texto.h"

namespace {

// Columns of the statement (consulta_pendientes.cpp), looked up once per load.
struct Columnas {
  ado::Field* codigo;
  ado::Field* razonSocial;
  ado::Field* calle;
  ado::Field* numero;
  ado::Field* localidad;
  ado::Field* telefono;
  ado::Field* mail;
  ado::Field* tc;
  ado::Field* idComprobante;
  ado::Field* fechaEnvio;
};

bool SoloBlancos(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](unsigned char c) { return c == ' '; });
}

}  // namespace

void LeerPendientes(ado::Recordset& rs, std::vector<FilaPendiente>& filas,
                    std::vector<std::string>& repetidas) {
  filas.clear();
  repetidas.clear();
  if (rs.Bof()) return;  // raises when the recordset is closed
  const Funciones& f = gFunciones();
  Columnas c{&rs.Fields("Codigo"),        &rs.Fields("razon_social"), &rs.Fields("Calle"),
             &rs.Fields("Numero"),        &rs.Fields("Localidad"),    &rs.Fields("Telefono"),
             &rs.Fields("mail"),          &rs.Fields("TC"),           &rs.Fields("IdComprobante"),
             &rs.Fields("FECHAENVIOMAIL")};
  // A pair the view gave twice would repeat a row; the separator keeps ("P1","23") and
  // ("P12","3") apart although their keys read the same.
  std::unordered_set<std::string> vistos;
  while (!rs.Eof()) {
    FilaPendiente fila;
    auto& t = fila.textos;
    t[colCuenta] = f.SinNulo(c.codigo->Value());
    t[colTC] = f.SinNulo(c.tc->Value());
    t[colIdComprobante] = f.SinNulo(c.idComprobante->Value());
    t[colRazonSocial] = f.SinNulo(c.razonSocial->Value());
    t[colDomicilio] = f.SinNulo(c.calle->Value()) + f.SinNulo(c.numero->Value());
    t[colLocalidad] = f.SinNulo(c.localidad->Value());
    t[colTelefono] = f.SinNulo(c.telefono->Value());
    t[colMail] = f.SinNulo(c.mail->Value());
    t[colEnviado] = f.SinNulo(c.fechaEnvio->Value());
    fila.enviada = !SoloBlancos(t[colEnviado]);
    fila.marcada = !fila.enviada;
    if (vistos.insert(t[colCuenta] + '\x1f' + t[colIdComprobante]).second)
      filas.push_back(std::move(fila));
    else
      repetidas.push_back(fila.Clave());
    rs.MoveNext();
  }
}

int CompararTextoLista(const std::string& a, const std::string& b) { return basic::CompararSinCaso(a, b); }

void ListaPendientes::Cargar(std::vector<FilaPendiente> nuevas) {
  filas = std::move(nuevas);
  Ordenar();
}

std::vector<int> ListaPendientes::Ordenar() {
  if (!Sorted || SortKey < 0 || SortKey >= kColumnasPendientes) return {};
  const size_t k = static_cast<size_t>(SortKey);
  std::vector<int> orden(filas.size());
  for (size_t i = 0; i < orden.size(); ++i) orden[i] = static_cast<int>(i);
  const bool descendente = SortOrder == lvwDescending;
  std::stable_sort(orden.begin(), orden.end(), [&](int a, int b) {
    const int c =
        CompararTextoLista(filas[static_cast<size_t>(a)].textos[k], filas[static_cast<size_t>(b)].textos[k]);
    return descendente ? c > 0 : c < 0;
  });
  std::vector<FilaPendiente> ordenadas;
  ordenadas.reserve(filas.size());
  for (int i : orden) ordenadas.push_back(std::move(filas[static_cast<size_t>(i)]));
  filas = std::move(ordenadas);
  return orden;
}

void ListaPendientes::MarcarTodas(bool marca) {
  for (auto& fila : filas) fila.marcada = marca;
}
