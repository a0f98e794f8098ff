#pragma once
// Lib_ClsCons3: the suite's lookup service. A caller names a table or view (or hands over
// a complete statement); the engine builds a bounded, ordered search statement, shows the
// list window (Lib_FrmCons3) or the tree window (Lib_FrmCons3Tree) modally on it, and
// leaves what the user chose in ValorDevuelto (one column's value) or Valores (several).
// It also offers the list window as a plain chooser: CheckOpciones, MenuOpciones,
// ConsultaDesdeArchivo.
//
// Typical use (the supplier code of a filter field):
//   Lib_ClsCons3& c = gClsCons3();
//   c.CampoDevuelto = "Codigo";
//   c.ConsultaSearch("vt_proveedores");
//   campo = c.ValorDevuelto.Texto();   // "" when the user cancelled
//
// Every lookup ends with Checks false and CampoDevuelto blank, so set them before each
// call. Failing steps are skipped: the engine never raises.
#include <string>
#include <vector>

#include "lookup/coleccion.h"
#include "lookup/definiciones.h"
#include "platform/basic/variant.h"

class Lib_ClsCons3 {
 public:
  // Reads MuestraStock, StkNivel1..4 and the search-with-LIKE flag from the configuration
  // (needs the main connection open to find them; blank otherwise).
  Lib_ClsCons3();
  Lib_ClsCons3(const Lib_ClsCons3&) = delete;
  Lib_ClsCons3& operator=(const Lib_ClsCons3&) = delete;

  // ---- Public properties, in declaration order ----
  // Colour values (0x00BBGGRR) of the four stock levels; configuration "Stk_Nivel1"...
  basic::Variant StkNivel1, StkNivel2, StkNivel3, StkNivel4;
  // "SI" (any case) colours article lookups by stock ("MostrarStockenConsultas").
  std::string MuestraStock;
  RefColeccion CmpsDevueltos = NuevaColeccion();
  // Values of the last lookup: CmpsDevueltos' columns, or one per checked row. Null
  // after a cancelled list lookup.
  RefColeccion Valores = NuevaColeccion();
  RefColeccion Cantidades;
  // The next lookup shows check boxes; reset after every lookup.
  bool Checks = false;
  // The value of the last lookup; empty text when the user cancelled.
  basic::Variant ValorDevuelto;
  // Connection string handed to the list window; filled from gDB when blank at lookup time.
  std::string gConnString;
  // Full path of the lookup definitions file (consultas.qzx).
  std::string gRutaMascaraConsultas;
  // Look table names up in the definitions file.
  bool gUsarMascarasConsultas = false;
  // Quantity keys of the list window.
  bool UsaCantidades = false;
  // Column whose value becomes ValorDevuelto; reset after every lookup.
  std::string CampoDevuelto;

  // ---- Lookups ----
  // SQL: a table or view name, or a statement (it holds "SELECT"). CmpsDevueltos: column
  // names whose values go to Valores (emptied and set to null on return). Clave: initial
  // search text. CampoBusqueda: the search column, chosen and written back when blank.
  // Where: extra condition, normalised in place to " (" + Where + ") ". SentenciaOpcional:
  // the statement for a table without definition. TreeView: the tree window.
  // ValoresDefault: values whose rows start checked (list window).
  void ConsultaSearch(const std::string& SQL, RefColeccion& CmpsDevueltos, const std::string& Clave,
                      std::string& CampoBusqueda, std::string& Where, const std::string& SentenciaOpcional,
                      bool TreeView, const std::string& ValoresDefault);
  // The same with every other argument empty (no columns, no texts, list window).
  void ConsultaSearch(const std::string& SQL);

  // The options as a check-list; options beginning with "1" start checked (that first
  // character is not shown). The checked texts end up in Valores, in list order.
  // Returns "" in every case; the second argument is not used.
  std::string CheckOpciones(const std::string& Titulo, const RefColeccion& CmpsDevueltos,
                            const std::vector<std::string>& Opc);
  // The options as a list: the chosen one, "" when cancelled.
  std::string MenuOpciones(const std::string& Titulo, const std::vector<std::string>& Opc);
  // The lines of a text file: the chosen one, "" when cancelled or when the file does not
  // exist (the operator is told). Separador is not used.
  std::string ConsultaDesdeArchivo(const std::string& Titulo, const std::string& QueArchivo,
                                   const std::string& Separador = "");

  // The statement the last ConsultaSearch showed (or tried to); "" when it showed nothing.
  const std::string& UltimaSentencia() const { return ultimaSentencia_; }

 private:
  // The search statement for SQL; false when no window is to be shown.
  bool ArmarSentencia(const std::string& SQL, std::string& CampoBusqueda, std::string& Where,
                      const std::string& SentenciaOpcional, std::string& sentencia);
  bool Generar(const std::string& SQL, long n, std::string& CampoBusqueda, const std::string& Where,
               const std::string& SentenciaOpcional, std::string& sentencia);
  enum class Chooser { Check, Menu, Archivo };
  std::string Elegir(Chooser tipo, const std::string& Titulo, const std::vector<std::string>& Opc,
                     const std::string& archivo);

  DefConsulta definicion_;
  bool usaConsultaLike_ = false;
  std::string ultimaSentencia_;
};

// The program-wide lookup object, created on first use and kept until the program ends.
Lib_ClsCons3& gClsCons3();
