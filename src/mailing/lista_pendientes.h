#pragma once
// The pending-order list as plain data: one row per order, with the check box, the blue
// mark of mailed orders and the list's sort settings. The window shows it through a Qt
// model (modelo_proveedores.h); the dispatch run and the preview read it by row index.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mailing/estado_entregas.h"

namespace ado {
class Recordset;
}

// Text colour of an order mailed before (0x00BBGGRR: pure blue).
inline constexpr int32_t kColorEnviada = 0xFF0000;
// Background of an order whose mail waits in the mail program's spool (light yellow).
inline constexpr int32_t kColorEnCola = 0x80FFFF;
// Text colour of an order whose mail was given up (red).
inline constexpr int32_t kColorFallida = 0x0000FF;

// Columns: 0 is the row text, 1..8 the sub-items.
enum ColumnaPendientes : int {
  colCuenta = 0,
  colTC = 1,
  colIdComprobante = 2,
  colRazonSocial = 3,
  colDomicilio = 4,
  colLocalidad = 5,
  colTelefono = 6,
  colMail = 7,
  colEnviado = 8
};
inline constexpr int kColumnasPendientes = 9;

struct FilaPendiente {
  // [0] row text (supplier code), [1..8] sub-items "TC" .. "Enviado".
  std::array<std::string, kColumnasPendientes> textos;
  bool marcada = true;   // check box
  bool enviada = false;  // mailed before: painted kColorEnviada
  // Last outcome in the mail program's journal: Pendiente gets kColorEnCola behind, Fallido
  // kColorFallida as its text colour.
  EstadoEntrega entrega = EstadoEntrega::Ninguno;
  std::string detalleEntrega;  // why it waits or failed: the row's tooltip
  std::string respuesta;       // the supplier's reply ("sender | date | subject"): "Enviado" in green

  const std::string& Texto() const { return textos[0]; }
  const std::string& SubItem(int n) const { return textos.at(static_cast<size_t>(n)); }
  // The row key: "D" + supplier code + document number.
  std::string Clave() const { return "D" + textos[colCuenta] + textos[colIdComprobante]; }
};

// Reads every record of the pending-order query, in the statement's order, into `filas`
// (replacing what was there). A (supplier, document) pair that comes a second time is not
// added; its key goes to `repetidas`. A closed recordset raises (the caller reports it).
void LeerPendientes(ado::Recordset& rs, std::vector<FilaPendiente>& filas,
                    std::vector<std::string>& repetidas);

// The list's rows and sort settings, as the list control keeps them.
class ListaPendientes {
 public:
  enum Orden : int { lvwAscending = 0, lvwDescending = 1 };

  std::vector<FilaPendiente> filas;
  int SortKey = 0;  // column: 0 row text, n sub-item n
  int SortOrder = lvwAscending;
  bool Sorted = false;

  int Cantidad() const { return static_cast<int>(filas.size()); }
  // Replaces the rows; when Sorted they are put in the sort order.
  void Cargar(std::vector<FilaPendiente> nuevas);
  void Limpiar() { filas.clear(); }
  // Sorts by SortKey as text (without regard to case), in SortOrder; equal texts keep
  // their relative order. Does nothing while not Sorted. Returns, for each new position,
  // the row's previous position (empty when nothing moved).
  std::vector<int> Ordenar();
  // Every row's check box, first to last.
  void MarcarTodas(bool marca);
};

// Comparison of the list's sort: text without regard to case (basic::CompararSinCaso).
int CompararTextoLista(const std::string& a, const std::string& b);
