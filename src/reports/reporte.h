#pragma once
// Reporte: the companion library's report object. It runs report definition files of
// our own text format (see docs/reports.md): the data source named by the definition,
// filtered by the selection formula, its sub-reports, formula fields and an HTML
// template.
//
// Use, as the program calls it:
//   gReporte().CarpetaSistema(appFolder);                 once at start-up
//   gReporte().Propiedad("PrintFileName", path);          export only
//   gReporte().Propiedad("PrintFileType", 22);            22 = HTML file
//   gReporte().Destino(gReporte().DestinoArchivo());      or DestinoVentana()
//   gReporte().Imprimir(file, {""}, formula, gConnectDSN, f1..f5, "RP_CPTESER", "", "RP_CpteObs");
//   int16_t accion = 20; gReporte().Ejecutar(accion);
//
// Imprimir loads the definition and parses the selection formula and the formula values
// (a broken definition or formula raises ErrorEjecucion there); Ejecutar(20) reads the
// data on the program's connection and produces the report at the destination: the HTML
// file named by "PrintFileName" is complete before Ejecutar returns (written under a
// temporary name and renamed); the window destination shows the preview window through
// ui::operador().MostrarModal.
//
// The operations are virtual so that tests of the callers can record them
// (InstalarReporte).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/basic/error.h"
#include "platform/basic/variant.h"

namespace ado {
class Connection;
}

namespace reporte {
struct Trabajo;  // one prepared report (motor.h)
}

class Reporte {
 public:
  // Destination codes of this engine.
  static constexpr int16_t kDestinoVentana = 0;
  static constexpr int16_t kDestinoImpresora = 1;  // not offered: Ejecutar raises
  static constexpr int16_t kDestinoArchivo = 2;
  // Print file types.
  static constexpr int16_t kTipoHtml = 22;
  // The action of Ejecutar that produces the report.
  static constexpr int16_t kEjecutarReporte = 20;
  // Error numbers raised by the engine (Source "Reporte").
  static constexpr long errDefinicion = 20501;  // report file missing or broken
  static constexpr long errFormula = 20502;     // selection formula or formula value
  static constexpr long errDatos = 20503;       // the data source's statement failed
  static constexpr long errSalida = 20504;      // the output file cannot be written
  static constexpr long errEjecucion = 20505;   // Ejecutar without Imprimir, bad code

  Reporte();
  virtual ~Reporte();
  Reporte(const Reporte&) = delete;
  Reporte& operator=(const Reporte&) = delete;

  // The application folder; bare report names ("OCMAIL") are looked up in it.
  virtual void CarpetaSistema(const std::string& carpeta);
  std::string CarpetaSistema() const { return carpeta_; }

  virtual void Destino(int16_t destino);
  virtual int16_t Destino() const { return destino_; }
  virtual int16_t DestinoVentana() const { return kDestinoVentana; }
  virtual int16_t DestinoArchivo() const { return kDestinoArchivo; }

  // "PrintFileName" (text) and "PrintFileType" (integer) are written; the value is left
  // as it was. Another name raises ErrorEjecucion 438.
  virtual void Propiedad(const std::string& nombre, basic::Variant& valor);
  void Propiedad(const std::string& nombre, const basic::Variant& valor) {
    basic::Variant v = valor;
    Propiedad(nombre, v);
  }
  std::string PrintFileName() const { return archivoSalida_; }
  int16_t PrintFileType() const { return tipoSalida_; }

  // Prepares one report. `reporte` is a report file path or a bare report name; the
  // parameters are accepted and unused; `conexion` (the DSN text) is kept for the record
  // while the data come from the connection of Conexion(). Formula values read
  // "Name = 'value'"; the sub-report names say which sub-reports of the definition run
  // (all of them when the three are empty).
  virtual void Imprimir(const std::string& reporte, const std::vector<std::string>& parametros,
                        const std::string& formulaSeleccion, const std::string& conexion,
                        const std::optional<std::string>& formula1 = std::nullopt,
                        const std::optional<std::string>& formula2 = std::nullopt,
                        const std::optional<std::string>& formula3 = std::nullopt,
                        const std::optional<std::string>& formula4 = std::nullopt,
                        const std::optional<std::string>& formula5 = std::nullopt,
                        const std::string& subreporte1 = "", const std::string& subreporte2 = "",
                        const std::string& subreporte3 = "");
  // 20 produces the prepared report at the destination.
  virtual void Ejecutar(int16_t& accion);
  void Ejecutar(int16_t&& accion) { Ejecutar(accion); }

  // The connection the data are read from, set by the start-up (the main connection).
  // Not owned; Ejecutar without an open one raises errDatos.
  void Conexion(ado::Connection* cn) { conexion_ = cn; }
  ado::Connection* Conexion() const { return conexion_; }

  // The HTML of the last Ejecutar (both destinations), for the caller that wants it.
  const std::string& UltimoHtml() const { return ultimoHtml_; }

 protected:
  std::string carpeta_;
  int16_t destino_ = kDestinoVentana;
  std::string archivoSalida_;
  int16_t tipoSalida_ = kTipoHtml;
  ado::Connection* conexion_ = nullptr;
  std::unique_ptr<reporte::Trabajo> trabajo_;
  std::string ultimoHtml_;
};

// The program-wide instance: the installed one when a test installed it, else the
// engine's own, created on first use.
Reporte& gReporte();
// Not owned; nullptr restores the program's own instance.
void InstalarReporte(Reporte* r);
// Releases the program's own instance (the next use creates it again).
void LiberarReporte();
