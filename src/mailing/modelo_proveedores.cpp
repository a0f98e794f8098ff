#include "mailing/modelo_proveedores.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QIcon>
#include <QStyle>

namespace {

// 0x00BBGGRR to a colour.
QColor ColorBgr(int32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

}  // namespace

ModeloProveedores::ModeloProveedores(QObject* parent) : QAbstractTableModel(parent) {
  // Image 1 of ImageList1: the row image, 16 x 16.
  if (auto* estilo = QApplication::style()) icono_ = estilo->standardIcon(QStyle::SP_FileIcon).pixmap(16, 16);
}

int ModeloProveedores::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : lista_.Cantidad();
}

int ModeloProveedores::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columnas_.size());
}

QVariant ModeloProveedores::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= lista_.Cantidad() || index.column() >= kColumnasPendientes)
    return {};
  const FilaPendiente& fila = lista_.filas[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(fila.textos[static_cast<size_t>(index.column())]);
    case Qt::CheckStateRole:
      if (index.column() == colCuenta) return fila.marcada ? Qt::Checked : Qt::Unchecked;
      return {};
    case Qt::ForegroundRole:
      if (fila.entrega == EstadoEntrega::Fallido) return QBrush(ColorBgr(kColorFallida));
      if (!fila.respuesta.empty() && index.column() == colEnviado) return QBrush(QColor(0, 128, 0));
      if (fila.enviada) return QBrush(ColorBgr(kColorEnviada));
      return {};
    case Qt::BackgroundRole:
      if (fila.entrega == EstadoEntrega::Pendiente) return QBrush(ColorBgr(kColorEnCola));
      return {};
    case Qt::DecorationRole:
      if (index.column() == colCuenta) return icono_;
      return {};
    case Qt::ToolTipRole:
      if (fila.detalleEntrega.empty() && !fila.respuesta.empty())
        return QString::fromStdString("Respondida: " + fila.respuesta);
      if (fila.detalleEntrega.empty()) return {};
      return QString::fromStdString(
          (fila.entrega == EstadoEntrega::Fallido ? "No se pudo entregar: " : "En cola: ") +
          fila.detalleEntrega);
    case Qt::TextAlignmentRole: return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
  }
}

bool ModeloProveedores::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || index.column() != colCuenta ||
      index.row() >= lista_.Cantidad())
    return false;
  MarcarFila(index.row(), value.toInt() == Qt::Checked);
  return true;
}

QVariant ModeloProveedores::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnas_.size()) return {};
  if (role == Qt::DisplayRole) return columnas_[section];
  if (role == Qt::TextAlignmentRole) return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags ModeloProveedores::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  // The row text takes the check box and may be asked for an in-place edit, which the
  // window refuses.
  if (index.column() == colCuenta) f |= Qt::ItemIsUserCheckable | Qt::ItemIsEditable;
  return f;
}

void ModeloProveedores::FijarColumnas(const QStringList& encabezados) {
  beginResetModel();
  columnas_ = encabezados;
  endResetModel();
}

void ModeloProveedores::Limpiar() {
  if (lista_.filas.empty()) return;
  beginResetModel();
  lista_.Limpiar();
  lista_.filas.shrink_to_fit();
  endResetModel();
}

void ModeloProveedores::Cargar(std::vector<FilaPendiente> filas) {
  beginResetModel();
  lista_.Cargar(std::move(filas));
  endResetModel();
}

void ModeloProveedores::FijarOrden(int sortKey, int sortOrder, bool sorted) {
  lista_.SortKey = sortKey;
  lista_.SortOrder = sortOrder;
  lista_.Sorted = sorted;
  if (!sorted) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const std::vector<int> anterior = lista_.Ordenar();
  // Selection and current row follow their rows.
  std::vector<int> nueva(anterior.size());
  for (size_t i = 0; i < anterior.size(); ++i) nueva[static_cast<size_t>(anterior[i])] = static_cast<int>(i);
  const QModelIndexList viejos = persistentIndexList();
  QModelIndexList nuevos;
  nuevos.reserve(viejos.size());
  for (const QModelIndex& v : viejos) {
    const size_t r = static_cast<size_t>(v.row());
    nuevos.append(r < nueva.size() ? index(nueva[r], v.column()) : v);
  }
  changePersistentIndexList(viejos, nuevos);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ModeloProveedores::MarcarTodas(bool marca) {
  lista_.MarcarTodas(marca);
  if (lista_.Cantidad() > 0)
    emit dataChanged(index(0, colCuenta), index(lista_.Cantidad() - 1, colCuenta), {Qt::CheckStateRole});
}

void ModeloProveedores::MarcarFila(int fila, bool marca) {
  if (fila < 0 || fila >= lista_.Cantidad()) return;
  lista_.filas[static_cast<size_t>(fila)].marcada = marca;
  const QModelIndex i = index(fila, colCuenta);
  emit dataChanged(i, i, {Qt::CheckStateRole});
}

void ModeloProveedores::FijarEntregas(const EntregasOrdenes& entregas) {
  for (FilaPendiente& f : lista_.filas) {
    const std::string& cuenta = f.textos[colCuenta];
    const std::string& id = f.textos[colIdComprobante];
    f.entrega = entregas.Estado(cuenta, id);
    f.detalleEntrega = entregas.Detalle(cuenta, id);
    f.respuesta = entregas.Respuesta(cuenta, id);
    // Not mailed again to the address that failed: checked once the supplier's address changed.
    if (f.entrega == EstadoEntrega::Fallido &&
        MismasDirecciones(f.textos[colMail], entregas.Destinatario(cuenta, id)))
      f.marcada = false;
  }
  if (lista_.Cantidad() > 0 && !columnas_.empty())
    emit dataChanged(index(0, 0), index(lista_.Cantidad() - 1, static_cast<int>(columnas_.size()) - 1),
                     {Qt::ForegroundRole, Qt::BackgroundRole, Qt::ToolTipRole, Qt::CheckStateRole});
}
