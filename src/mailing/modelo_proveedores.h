#pragma once
// The pending-order list as the list view shows it: report style, a check box on the row
// text, blue text for mailed orders (on yellow while the mail waits in the spool, red text when
// it was given up), headers from Encolumnar. Rows live in a
// ListaPendientes; sorting reorders them there, so row i of the view is row i of the list.
#include <QAbstractTableModel>
#include <QStringList>

#include "mailing/lista_pendientes.h"

class ModeloProveedores : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit ModeloProveedores(QObject* parent = nullptr);

  // ---- QAbstractTableModel ----
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // ---- The list control ----
  const ListaPendientes& Lista() const { return lista_; }
  // Column headers; ColumnHeaders.Clear is FijarColumnas({}).
  void FijarColumnas(const QStringList& encabezados);
  const QStringList& Columnas() const { return columnas_; }
  // ListItems.Clear.
  void Limpiar();
  // Replaces every row (in the current sort order when Sorted).
  void Cargar(std::vector<FilaPendiente> filas);
  // Sort settings; FijarOrden sorts at once when `sorted`.
  void FijarOrden(int sortKey, int sortOrder, bool sorted);
  void MarcarTodas(bool marca);
  void MarcarFila(int fila, bool marca);
  // Each row's delivery state from the journal (repaints the rows).
  void FijarEntregas(const EntregasOrdenes& entregas);

 private:
  ListaPendientes lista_;
  QStringList columnas_;
  QVariant icono_;
};
