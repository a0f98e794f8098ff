#include "lookup/modelo_filas.h"

#include <QBrush>
#include <QColor>
#include <algorithm>
#include <cstring>

#include "platform/basic/texto.h"

namespace {

const std::string kVacio;

}  // namespace

using basic::PlegarMayusculas;

bool EmpiezaSinCaso(const std::string& valor, const std::string& buscado) {
  size_t i = 0;
  while (i < valor.size() && valor[i] == ' ') ++i;
  return PlegarMayusculas(std::string_view(valor).substr(i)).compare(0, buscado.size(), buscado) == 0;
}

int ModeloFilas::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(filas_.size());
}

int ModeloFilas::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(titulos_.size());
}

QVariant ModeloFilas::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Filas()) return {};
  const Fila& f = filas_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(Celda(index.row(), index.column()));
    case Qt::CheckStateRole:
      if (casillas_ && index.column() == 0) return f.marcada ? Qt::Checked : Qt::Unchecked;
      return {};
    case Qt::ForegroundRole:
      if (f.color) {
        const auto c = static_cast<uint32_t>(*f.color);
        return QBrush(QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                             static_cast<int>((c >> 16) & 0xFF)));
      }
      return {};
    default: return {};
  }
}

bool ModeloFilas::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::CheckStateRole || !casillas_ || index.column() != 0) return false;
  FijarMarcada(index.row(), value.toInt() == Qt::Checked);
  return true;
}

Qt::ItemFlags ModeloFilas::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
  if (casillas_ && index.column() == 0) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant ModeloFilas::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal && section >= 0 && section < Columnas())
    return QString::fromStdString(titulos_[static_cast<size_t>(section)]);
  return {};
}

void ModeloFilas::LimpiarColumnas() {
  beginResetModel();
  titulos_.clear();
  Invalidar();
  endResetModel();
}

void ModeloFilas::AgregarColumna(const std::string& titulo) {
  const int c = Columnas();
  beginInsertColumns(QModelIndex(), c, c);
  titulos_.push_back(titulo);
  endInsertColumns();
}

void ModeloFilas::Limpiar() {
  beginResetModel();
  filas_.clear();
  Invalidar();
  endResetModel();
}

void ModeloFilas::Reemplazar(std::vector<Fila> filas) {
  beginResetModel();
  filas_ = std::move(filas);
  if (ordenado_) OrdenarFilas();
  Invalidar();
  // Ready for the first keystroke.
  for (int c = 0; c < Columnas(); ++c) ColumnaPlegada(c);
  endResetModel();
}

void ModeloFilas::Agregar(Fila fila) {
  if (ordenado_) {
    // Keep the order: the new row goes after its equals.
    beginResetModel();
    filas_.push_back(std::move(fila));
    OrdenarFilas();
    Invalidar();
    endResetModel();
    return;
  }
  const int r = Filas();
  beginInsertRows(QModelIndex(), r, r);
  filas_.push_back(std::move(fila));
  Invalidar();
  endInsertRows();
}

const std::string& ModeloFilas::Celda(int r, int c) const {
  const Fila& f = filas_.at(static_cast<size_t>(r));
  if (c < 0 || static_cast<size_t>(c) >= f.celdas.size()) return kVacio;
  return f.celdas[static_cast<size_t>(c)];
}

void ModeloFilas::FijarCelda(int r, int c, const std::string& texto) {
  Fila& f = filas_.at(static_cast<size_t>(r));
  if (c < 0) return;
  if (f.celdas.size() <= static_cast<size_t>(c)) f.celdas.resize(static_cast<size_t>(c) + 1);
  f.celdas[static_cast<size_t>(c)] = texto;
  if (static_cast<size_t>(c) < plegadas_.size()) plegadas_[static_cast<size_t>(c)].reset();
  emit dataChanged(index(r, c), index(r, c));
}

void ModeloFilas::FijarMarcada(int r, bool marcada) {
  filas_.at(static_cast<size_t>(r)).marcada = marcada;
  emit dataChanged(index(r, 0), index(r, 0), {Qt::CheckStateRole});
}

void ModeloFilas::InvertirMarcas() {
  for (auto& f : filas_) f.marcada = !f.marcada;
  if (!filas_.empty()) emit dataChanged(index(0, 0), index(Filas() - 1, 0), {Qt::CheckStateRole});
}

void ModeloFilas::DesmarcarTodas() {
  for (auto& f : filas_) f.marcada = false;
  if (!filas_.empty()) emit dataChanged(index(0, 0), index(Filas() - 1, 0), {Qt::CheckStateRole});
}

void ModeloFilas::FijarCasillas(bool casillas) {
  if (casillas_ == casillas) return;
  beginResetModel();
  casillas_ = casillas;
  endResetModel();
}

const ModeloFilas::Plegada& ModeloFilas::ColumnaPlegada(int c) const {
  if (plegadas_.size() <= static_cast<size_t>(c)) plegadas_.resize(static_cast<size_t>(c) + 1);
  auto& p = plegadas_[static_cast<size_t>(c)];
  if (p) return *p;
  p.emplace();
  p->inicio.reserve(filas_.size() + 1);
  for (const auto& f : filas_) {
    p->inicio.push_back(static_cast<uint32_t>(p->datos.size()));
    const std::string& v =
        static_cast<size_t>(c) < f.celdas.size() ? f.celdas[static_cast<size_t>(c)] : kVacio;
    size_t i = 0;
    while (i < v.size() && v[i] == ' ') ++i;
    p->datos.append(PlegarMayusculas(v.substr(i)));
  }
  p->inicio.push_back(static_cast<uint32_t>(p->datos.size()));
  return *p;
}

int ModeloFilas::Buscar(int c, const std::string& texto) const {
  if (c < 0 || filas_.empty()) return -1;
  const std::string buscado = PlegarMayusculas(basic::Trim(texto));
  const Plegada& p = ColumnaPlegada(c);
  const size_t n = filas_.size();
  const char* datos = p.datos.data();
  const size_t largo = buscado.size();
  for (size_t r = 0; r < n; ++r) {
    const uint32_t a = p.inicio[r];
    if (p.inicio[r + 1] - a >= largo && std::memcmp(datos + a, buscado.data(), largo) == 0)
      return static_cast<int>(r);
  }
  return -1;
}

void ModeloFilas::Ordenar(int c, bool ascendente) {
  columnaOrden_ = c;
  ascendente_ = ascendente;
  ordenado_ = true;
  emit layoutAboutToBeChanged();
  const std::vector<size_t> origen = OrdenarFilas();
  // Selection and current row follow their rows.
  std::vector<int> destino(origen.size());
  for (size_t n = 0; n < origen.size(); ++n) destino[origen[n]] = static_cast<int>(n);
  const QModelIndexList viejos = persistentIndexList();
  QModelIndexList nuevos;
  for (const QModelIndex& i : viejos)
    nuevos.append(i.row() >= 0 && static_cast<size_t>(i.row()) < destino.size()
                      ? index(destino[static_cast<size_t>(i.row())], i.column())
                      : QModelIndex());
  changePersistentIndexList(viejos, nuevos);
  emit layoutChanged();
}

std::vector<size_t> ModeloFilas::OrdenarFilas() {
  const int c = columnaOrden_;
  // Fold each key once; compare the folded keys.
  std::vector<std::pair<std::string, size_t>> claves;
  claves.reserve(filas_.size());
  for (size_t r = 0; r < filas_.size(); ++r) {
    const auto& celdas = filas_[r].celdas;
    claves.emplace_back(
        PlegarMayusculas(c >= 0 && static_cast<size_t>(c) < celdas.size() ? celdas[static_cast<size_t>(c)]
                                                                          : kVacio),
        r);
  }
  if (ascendente_)
    std::stable_sort(claves.begin(), claves.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  else
    std::stable_sort(claves.begin(), claves.end(),
                     [](const auto& a, const auto& b) { return b.first < a.first; });
  std::vector<Fila> ordenadas;
  ordenadas.reserve(filas_.size());
  std::vector<size_t> origen;
  origen.reserve(claves.size());
  for (auto& k : claves) {
    ordenadas.push_back(std::move(filas_[k.second]));
    origen.push_back(k.second);
  }
  filas_ = std::move(ordenadas);
  Invalidar();
  return origen;
}
