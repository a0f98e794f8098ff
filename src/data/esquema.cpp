// Schema inspection and column creation.
#include <string>

#include "data/db_dll.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"

using basic::FuncionPaso;
using basic::P;
using basic::Paso;

namespace {

int AvisoVerificaCampos(const ErrorEjecucion& e) {
  return gDB().TratamientoErrores(e, std::nullopt, std::string("VerificaCampos"));
}

// Walks a schema rowset: true at the first row whose column, trimmed, equals the name.
bool BuscarEnEsquema(ado::Recordset& rs, const std::string& columna, const std::string& nombre) {
  const std::string buscado = basic::Trim(nombre);
  while (!rs.Eof()) {
    if (basic::IgualesSinCaso(basic::Trim(rs.Fields(columna).Value().Texto()), buscado)) return true;
    rs.MoveNext();
  }
  return false;
}

}  // namespace

bool DB_Dll::ExisteTablaDB(const std::string& Tabla) {
  bool resultado = false;
  std::shared_ptr<ado::Recordset> rs;
  const std::vector<FuncionPaso> pasos = {
      P([&] { rs = canalADO().OpenSchema(*gCnn, ado::adSchemaTables, {}); }),
      P([&] { resultado = rs && BuscarEnEsquema(*rs, "TABLE_NAME", Tabla); }),
  };
  if (!basic::EjecutarPasos(pasos, AvisoVerificaCampos)) return false;
  return resultado;
}

bool DB_Dll::ExisteCampoDB(const std::string& Tabla, const std::string& Campo) {
  if (basic::InStr(gDB().gProveedor, "ORACLE", basic::CompararTexto) > 0) return true;
  bool resultado = false;
  std::shared_ptr<ado::Recordset> rs;
  const std::vector<FuncionPaso> pasos = {
      P([&] {
        rs = canalADO().OpenSchema(
            *gCnn, ado::adSchemaColumns,
            {basic::Variant(gDBName), basic::Variant(), basic::Variant(Tabla), basic::Variant()});
      }),
      P([&] { resultado = rs && BuscarEnEsquema(*rs, "COLUMN_NAME", Campo); }),
  };
  if (!basic::EjecutarPasos(pasos, AvisoVerificaCampos)) return false;
  return resultado;
}

bool DB_Dll::VerCampoDB(const std::string& Tabla, const std::string& Campo, bool Agregar,
                        const std::string& Tipo, bool PermiteNulos,
                        std::optional<basic::Variant> ValorDefault) {
  if (ExisteTablaDB(Tabla) && !ExisteCampoDB(Tabla, Campo) && Agregar)
    AddField(Tabla, Campo, Tipo, PermiteNulos, std::move(ValorDefault));
  return true;
}

void DB_Dll::AddField(const std::string& Tabla, const std::string& Campo, const std::string& Tipo,
                      bool PermiteNulos, std::optional<basic::Variant> ValorDefault) {
  std::string sql;
  const std::vector<FuncionPaso> pasos = {
      P([&] {
        sql = "ALTER TABLE dbo." + Tabla + " ADD " + Campo + " " + Tipo +
              (PermiteNulos ? " Null " : " Not Null ");
        if (ValorDefault)
          sql += " CONSTRAINT DF_" + basic::Trim(Tabla) + "_" + basic::Trim(Campo) + " DEFAULT (" +
                 ValorDefault->Texto() + ")";
      }),
      P([&] {
        long afectados = 0;
        EjecutaConsultaSQL(sql, afectados, nullptr);
      }),
  };
  basic::EjecutarPasos(pasos, [](const ErrorEjecucion& e) {
    return gDB().TratamientoErrores(e, std::nullopt, std::string("errAddField"));
  });
}
