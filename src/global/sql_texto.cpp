#include "global/sql_texto.h"

#include "companion/companion.h"
#include "data/db_dll.h"
#include "platform/basic/texto.h"

std::vector<CampoSentencia> gCamposSentencia;

std::string FormatoFechaHora() { return "dd/mm/yy hh:mm"; }
std::string FormatoFecha() { return "dd/mm/yy"; }
std::string FormatoHora() { return "hh:mm"; }

void AgregarCampo(const std::string& nombre, std::string& valor, const std::string& comilla,
                  bool nuevaLista) {
  if (nuevaLista)
    gCamposSentencia.assign(1, CampoSentencia{});
  else
    gCamposSentencia.emplace_back();
  valor = basic::Replace(valor, "'", "");
  CampoSentencia& ultimo = gCamposSentencia.back();
  ultimo.name = nombre;
  if (basic::UCase(valor) == "NULL")
    ultimo.value = "Null";
  else
    ultimo.value = gDB().SQLValue(basic::Variant(valor), comilla).Texto();
}

void AgregarCampoValor(const std::string& nombre, std::string valor, const std::string& comilla,
                       bool nuevaLista) {
  AgregarCampo(nombre, valor, comilla, nuevaLista);
}

void ArmarSentencia(std::vector<CampoSentencia>& campos, std::vector<std::string>& lineas,
                    const std::string& tabla, bool actualizar, std::string& condicion, bool conservarLista) {
  std::string sentencia;
  if (actualizar) {
    std::string asignaciones;
    for (const auto& c : campos) {
      if (c.name.empty()) continue;
      if (!asignaciones.empty()) asignaciones += ",";
      asignaciones += c.name + " = " + c.value;
    }
    if (basic::InStr(condicion, "WHERE", basic::CompararTexto) == 0) condicion = " WHERE " + condicion;
    sentencia = "UPDATE " + tabla + " SET " + asignaciones + " " + condicion;
  } else {
    std::string nombres, valores;
    for (const auto& c : campos) {
      if (c.name.empty()) continue;
      if (!nombres.empty()) {
        nombres += ",";
        valores += ",";
      }
      nombres += c.name;
      valores += c.value;
    }
    sentencia = "INSERT INTO " + tabla + " " + "(" + nombres + ")" + " VALUES (" + valores + ")";
  }
  lineas.push_back(sentencia);
  lineas.emplace_back();
  if (!conservarLista) campos.assign(1, CampoSentencia{});
}

std::string AdaptarSQL(const std::string& sql, const std::string& connString) {
  if (basic::InStr(connString, "oracle", basic::CompararTexto) == 0) return sql;
  if (gFunciones().ContarPalabras(sql) <= 1) return basic::UCase(sql) == "LEN" ? "LENGTH" : sql;
  if (basic::InStr(sql, "top ", basic::CompararTexto) == 0) return sql;
  const int t = basic::InStr(sql, "top", basic::CompararTexto);
  const std::string cabeza = basic::Left(sql, t - 1);
  const std::string resto = basic::Mid(sql, t + 3);
  const int asterisco = basic::InStr(resto, "*");
  if (asterisco == 0) return sql;  // nothing to move the row limit from
  const std::string cantidad = basic::Left(resto, asterisco - 1);
  const std::string cola = basic::Mid(resto, asterisco + 1);
  return cabeza + " * " + cola + " WHERE ROWNUM <= " + cantidad;
}

std::string AdaptarSQL(const std::string& sql) { return AdaptarSQL(sql, gDB().gConnString); }
