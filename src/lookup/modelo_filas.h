#pragma once
// The rows of the list lookup window: all rows of the statement held as texts, shown
// through a table model so that 100,000 rows cost no widget per cell.
#include <QAbstractTableModel>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Searches fold with basic::PlegarMayusculas, the table the embedded database's NOCASE
// and LIKE use too, so a search in the list and F5 find the same rows.
// `valor` without its leading blanks starts with `buscadoPlegado` (already folded and
// trimmed), without regard to case.
bool EmpiezaSinCaso(const std::string& valor, const std::string& buscadoPlegado);

class ModeloFilas : public QAbstractTableModel {
  Q_OBJECT
 public:
  struct Fila {
    std::vector<std::string> celdas;  // celdas[0] is the row text, celdas[i] sub-item i
    bool marcada = false;
    std::optional<int32_t> color;  // 0x00BBGGRR
  };

  explicit ModeloFilas(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Columns.
  void LimpiarColumnas();
  void AgregarColumna(const std::string& titulo);
  const std::string& TituloColumna(int c) const { return titulos_.at(static_cast<size_t>(c)); }
  int Columnas() const { return static_cast<int>(titulos_.size()); }

  // Rows (0-based here; the window speaks 1-based to its callers).
  void Limpiar();
  void Reemplazar(std::vector<Fila> filas);
  void Agregar(Fila fila);
  int Filas() const { return static_cast<int>(filas_.size()); }
  const Fila& FilaEn(int r) const { return filas_.at(static_cast<size_t>(r)); }
  // Text of column c (0 = row text); "" past the cells the row has.
  const std::string& Celda(int r, int c) const;
  void FijarCelda(int r, int c, const std::string& texto);
  void FijarMarcada(int r, bool marcada);
  void InvertirMarcas();
  void DesmarcarTodas();
  void FijarCasillas(bool casillas);
  bool Casillas() const { return casillas_; }

  // First row (0-based) whose column c, trimmed, starts with `texto` trimmed, without
  // regard to case; -1 when none.
  int Buscar(int c, const std::string& texto) const;

  // Sorting on a column as the list control does it: texts without regard to case,
  // stable. Sorted rows stay sorted when `mantener` is set and rows are replaced.
  void Ordenar(int c, bool ascendente);
  int ColumnaOrden() const { return columnaOrden_; }
  bool Ascendente() const { return ascendente_; }
  void FijarOrdenado(bool ordenado) { ordenado_ = ordenado; }
  bool Ordenado() const { return ordenado_; }

 private:
  std::vector<size_t> OrdenarFilas();  // the old position of each row
  // Each column's values folded to upper case without their leading blanks, one after
  // the other in one buffer, so a search scans contiguous memory. Built with the rows,
  // rebuilt on demand after a change.
  struct Plegada {
    std::string datos;
    std::vector<uint32_t> inicio;  // rows + 1 offsets
  };
  const Plegada& ColumnaPlegada(int c) const;
  void Invalidar() const { plegadas_.clear(); }
  mutable std::vector<std::optional<Plegada>> plegadas_;
  std::vector<std::string> titulos_;
  std::vector<Fila> filas_;
  bool casillas_ = false;
  int columnaOrden_ = 0;
  bool ascendente_ = true;
  bool ordenado_ = false;
};
