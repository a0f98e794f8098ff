#include "lookup/lib_frmcons3tree.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "companion/companion.h"
#include "data/db_dll.h"
#include "global/errores.h"
#include "lookup/lib_frmcons3.h"
#include "lookup/sentencias.h"
#include "platform/ado/ado.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"

using basic::FuncionPaso;
using basic::P;
using basic::Paso;

namespace {

constexpr int kRolClave = Qt::UserRole + 1;
constexpr int kNivelesMarca = 6;

const char* const kSentenciaFamilias =
    "SELECT     TOP 100 PERCENT IdFamilia, Descripcion, "
    "(SELECT     TOP 1 idfamilia FROM @Admin_v_ta_familias a  "
    " Where a.IdFamilia < b.IdFamilia And (Len(LTrim(RTrim(a.IdFamilia))) < Len(LTrim(RTrim(b.IdFamilia)))) "
    " ORDER BY idfamilia DESC) AS [relative] FROM dbo.V_TA_FAMILIAS b Where IdFamilia<>'' ORDER BY IdFamilia";

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string Texto(const basic::Variant& v) { return v.EsNull() ? std::string() : v.Texto(); }

// Starts with, over the typed text's length, without regard to case.
bool Empieza(const std::string& parte, const std::string& buscado) {
  const int n = basic::Len(buscado);
  return basic::IgualesSinCaso(basic::Left(parte, n), buscado);
}

}  // namespace

Lib_FrmCons3Tree::Lib_FrmCons3Tree(QWidget* parent) : QDialog(parent) {
  setObjectName("Lib_FrmCons3Tree");
  setWindowTitle("Consulta...");
  setModal(true);

  caja_ = new QComboBox(this);
  caja_->setObjectName("CmbSearch0");
  caja_->setEditable(true);
  caja_->setInsertPolicy(QComboBox::NoInsert);
  caja_->setToolTip("F5 realiza nueva busqueda");
  caja_->installEventFilter(this);
  caja_->lineEdit()->installEventFilter(this);
  arbol_ = new QTreeWidget(this);
  arbol_->setObjectName("TreeV");
  arbol_->setHeaderHidden(true);
  arbol_->setColumnCount(1);
  arbol_->setRootIsDecorated(true);
  arbol_->setUniformRowHeights(true);
  auto* lblFieldName = new QLabel(this);
  lblFieldName->setObjectName("lblFieldName");
  lblFieldName->hide();

  auto* frame1 = new QFrame(this);
  frame1->setObjectName("Frame1");
  cmdAceptar_ = new QPushButton("&Aceptar", frame1);
  cmdAceptar_->setObjectName("CmdAceptar");
  cmdCancelar_ = new QPushButton("&Cancelar", frame1);
  cmdCancelar_->setObjectName("CmdCancelar");
  cmdNueva_ = new QPushButton("&Nueva Busqueda", frame1);
  cmdNueva_->setObjectName("CmdNueva");
  for (auto* b : {cmdAceptar_, cmdCancelar_, cmdNueva_}) b->setAutoDefault(false);
  cmdAceptar_->setDefault(true);
  auto* botones = new QHBoxLayout(frame1);
  botones->addWidget(cmdAceptar_);
  botones->addStretch();
  botones->addWidget(cmdCancelar_);
  botones->addStretch();
  botones->addWidget(cmdNueva_);
  auto* columna = new QVBoxLayout(this);
  columna->addWidget(caja_);
  columna->addWidget(arbol_, 1);
  columna->addWidget(frame1);
  resize(520, 480);

  connect(cmdAceptar_, &QPushButton::clicked, this, [this] { CmdAceptar_Click(); });
  connect(cmdCancelar_, &QPushButton::clicked, this, [this] { CmdCancelar_Click(); });
  connect(cmdNueva_, &QPushButton::clicked, this, [this] { CmdNueva_Click(); });
  connect(caja_, &QComboBox::editTextChanged, this, [this](const QString&) { CmbSearch_Change(); });
  connect(arbol_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* n, int) { TreeV_NodeCheck(n); });
  connect(arbol_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem*, int) { CmdAceptar_Click(); });
}

Lib_FrmCons3Tree::~Lib_FrmCons3Tree() = default;

void Lib_FrmCons3Tree::EjecutarModal() {
  Cargar();
  exec();
}

void Lib_FrmCons3Tree::Cargar() {
  if (!cargada_) Form_Load();
}

void Lib_FrmCons3Tree::Form_Load() {
  cargada_ = true;
  basic::EjecutarPasos(
      {
          P([&] { Valores = NuevaColeccion(); }),
          P([&] {
            propagando_ = true;
            arbol_->clear();
            nodos_.clear();
            orden_.clear();
            propagando_ = false;
          }),
          P([&] {
            if (basic::InStr(SQL, "v_ta_familias", basic::CompararTexto) > 0)
              ArmarTreeVFamilias();
            else
              ArmarTreeVAutomatico();
          }),
      },
      [](const ErrorEjecucion& e) { return AvisoError(e, "FORM_LOAD"); });
}

void Lib_FrmCons3Tree::Form_Unload() {
  try {
    propagando_ = true;
    arbol_->clear();
    nodos_.clear();
    orden_.clear();
    propagando_ = false;
  } catch (const std::exception& e) {
    propagando_ = false;
    ui::operador().MsgBox(e.what(), ui::vbCritical, "Aviso al Operador");
  }
}

QTreeWidgetItem* Lib_FrmCons3Tree::Agregar(QTreeWidgetItem* padre, const std::string& clave,
                                           const std::string& texto) {
  const std::string k = basic::UCase(clave);
  if (nodos_.count(k)) throw ErrorEjecucion(35602, "La clave no es única en la colección", "TreeView");
  QTreeWidgetItem* n = padre ? new QTreeWidgetItem(padre) : new QTreeWidgetItem(arbol_);
  n->setText(0, Q(texto));
  n->setData(0, kRolClave, Q(clave));
  if (CheckBoxes) n->setCheckState(0, Qt::Unchecked);
  nodos_[k] = n;
  orden_.push_back(n);
  return n;
}

void Lib_FrmCons3Tree::Empezar() {
  propagando_ = true;
  arbol_->clear();
  nodos_.clear();
  orden_.clear();
  QTreeWidgetItem* raiz = Agregar(nullptr, "A", "Consulta...");
  raiz->setExpanded(true);
  propagando_ = false;
}

std::vector<std::vector<basic::Variant>> Lib_FrmCons3Tree::Filas(const std::string& sentencia) {
  ado::Recordset rs;
  gDB().AbrirRecordset(sentencia, rs, gDB().gCnn.get(), 0, 1, -1, true);
  if (rs.State() != ado::adStateOpen) return {};
  std::vector<std::vector<basic::Variant>> filas;
  if (!rs.Eof()) filas = rs.GetRows();
  gDB().CierraRecordset(rs);
  return filas;
}

void Lib_FrmCons3Tree::ArmarTreeVFamilias() {
  std::vector<std::vector<basic::Variant>> filas;
  std::vector<FuncionPaso> pasos = {
      P([&] { Empezar(); }),
      P([&] { SQL = kSentenciaFamilias; }),
      P([&] { filas = Filas(SQL); }),
  };
  basic::EjecutarPasos(pasos, [](const ErrorEjecucion& e) { return AvisoError(e, "ArmarTreeVFamilias"); });
  propagando_ = true;
  pasos.clear();
  for (const auto& fila : filas) {
    pasos.push_back(P([&] {
      if (fila.size() < 2) return;
      const std::string codigo = Texto(fila[0]);
      std::string clavePadre = "A";
      if (fila.size() > 2 && !fila[2].EsNull()) clavePadre = "A" + Texto(fila[2]);
      QTreeWidgetItem* padre = Nodo(clavePadre);
      // A parent outside the rows read: the family hangs from the root.
      if (!padre) padre = Nodo("A");
      Agregar(padre, "A" + codigo, codigo + " - " + Texto(fila[1]));
    }));
  }
  basic::EjecutarPasos(pasos, [](const ErrorEjecucion& e) { return AvisoError(e, "ArmarTreeVFamilias"); });
  propagando_ = false;
}

void Lib_FrmCons3Tree::ArmarTreeVAutomatico() {
  std::vector<std::vector<basic::Variant>> filas;
  std::vector<FuncionPaso> pasos = {
      P([&] { Empezar(); }),
      P([&] { filas = Filas(SQL); }),
  };
  basic::EjecutarPasos(pasos, [](const ErrorEjecucion& e) { return AvisoError(e, "ArmarTreeVAutomatico"); });
  propagando_ = true;
  pasos.clear();
  for (const auto& fila : filas) {
    pasos.push_back(P([&] {
      if (fila.empty()) return;
      const std::string codigo = Texto(fila[0]);
      const std::string descripcion = fila.size() > 1 ? Texto(fila[1]) : "";
      const std::string clave = "A" + codigo;
      const std::string mayus = basic::UCase(clave);
      // The longest key already in the tree that starts the new one; the root at least.
      QTreeWidgetItem* padre = nullptr;
      for (size_t largo = mayus.size() - 1; largo >= 1 && !padre; --largo) {
        auto it = nodos_.find(mayus.substr(0, largo));
        if (it != nodos_.end()) padre = it->second;
      }
      Agregar(padre, clave, codigo + " - " + descripcion);
    }));
  }
  basic::EjecutarPasos(pasos, [](const ErrorEjecucion& e) { return AvisoError(e, "ArmarTreeVAutomatico"); });
  propagando_ = false;
}

// ---------------------------------------------------------------- nodes

std::vector<std::string> Lib_FrmCons3Tree::Claves() const {
  std::vector<std::string> r;
  for (auto* n : orden_) r.push_back(ClaveDe(n));
  return r;
}

QTreeWidgetItem* Lib_FrmCons3Tree::Nodo(const std::string& clave) const {
  auto it = nodos_.find(basic::UCase(clave));
  return it == nodos_.end() ? nullptr : it->second;
}

std::string Lib_FrmCons3Tree::ClaveDe(QTreeWidgetItem* nodo) const {
  return nodo ? nodo->data(0, kRolClave).toString().toStdString() : "";
}

std::string Lib_FrmCons3Tree::ClavePadre(const std::string& clave) const {
  QTreeWidgetItem* n = Nodo(clave);
  return n ? ClaveDe(n->parent()) : "";
}

std::string Lib_FrmCons3Tree::TextoNodo(const std::string& clave) const {
  QTreeWidgetItem* n = Nodo(clave);
  return n ? n->text(0).toStdString() : "";
}

bool Lib_FrmCons3Tree::Marcado(const std::string& clave) const {
  QTreeWidgetItem* n = Nodo(clave);
  return n && n->checkState(0) == Qt::Checked;
}

void Lib_FrmCons3Tree::Marcar(const std::string& clave, bool marcado) {
  if (QTreeWidgetItem* n = Nodo(clave)) n->setCheckState(0, marcado ? Qt::Checked : Qt::Unchecked);
}

std::string Lib_FrmCons3Tree::ClaveSeleccionada() const { return ClaveDe(arbol_->currentItem()); }

void Lib_FrmCons3Tree::Seleccionar(const std::string& clave) {
  if (QTreeWidgetItem* n = Nodo(clave)) {
    arbol_->setCurrentItem(n);
    arbol_->scrollToItem(n);
  }
}

void Lib_FrmCons3Tree::TreeV_NodeCheck(QTreeWidgetItem* nodo) {
  if (propagando_ || !nodo || !CheckBoxes) return;
  propagando_ = true;
  // Level by level: each node takes the state of its own parent.
  std::vector<QTreeWidgetItem*> nivel{nodo};
  for (int n = 0; n < kNivelesMarca && !nivel.empty(); ++n) {
    std::vector<QTreeWidgetItem*> siguiente;
    for (auto* padre : nivel)
      for (int i = 0; i < padre->childCount(); ++i) {
        QTreeWidgetItem* hijo = padre->child(i);
        hijo->setCheckState(0, padre->checkState(0));
        siguiente.push_back(hijo);
      }
    nivel = std::move(siguiente);
  }
  propagando_ = false;
}

// ---------------------------------------------------------------- search

void Lib_FrmCons3Tree::CmbSearch_Change() {
  try {
    const std::string buscado = caja_->currentText().toStdString();
    for (auto* n : orden_) {
      const std::string texto = n->text(0).toStdString();
      const int guion = basic::InStr(texto, "-");
      if (guion == 0) continue;  // the root has no code
      const std::string codigo = basic::Trim(basic::Left(texto, guion - 1));
      const std::string descripcion = basic::Trim(basic::Mid(texto, guion + 1));
      if (Empieza(codigo, buscado) || Empieza(descripcion, buscado)) {
        arbol_->setCurrentItem(n);
        arbol_->scrollToItem(n);
        return;
      }
    }
  } catch (...) {
  }
}

bool Lib_FrmCons3Tree::CmbSearch_KeyDown(int KeyCode) {
  if (KeyCode == 116) {
    std::string nueva;
    basic::EjecutarIgnorando({
        P([&] {
          tag_ = "Descripcion";
          nueva = SentenciaF5Arbol(SQL, sentenciaBase_, clausulaFinal_, caja_->currentText().toStdString());
        }),
        P([&] {
          if (nueva.empty()) return;
          SQL = nueva;
          caja_->setEditText("");
          sentenciaBase_ = SQL;
          Form_Load();
        }),
    });
    return true;
  }
  if (KeyCode == 40 || KeyCode == 38 || KeyCode == 34 || KeyCode == 33) {
    arbol_->setFocus();
    return true;
  }
  return false;
}

bool Lib_FrmCons3Tree::eventFilter(QObject* objeto, QEvent* evento) {
  if ((objeto == caja_ || objeto == caja_->lineEdit())) {
    if (evento->type() == QEvent::KeyPress) {
      auto* k = static_cast<QKeyEvent*>(evento);
      if (CmbSearch_KeyDown(CodigoTecla(k->key(), false))) return true;
    } else if (evento->type() == QEvent::MouseButtonPress && objeto == caja_->lineEdit()) {
      CmbSearch_Change();
    }
  }
  return QDialog::eventFilter(objeto, evento);
}

void Lib_FrmCons3Tree::CmdNueva_Click() {
  try {
    if (basic::InStr(SQL, "v_ta_familias", basic::CompararTexto) > 0)
      ArmarTreeVFamilias();
    else
      ArmarTreeVAutomatico();
  } catch (...) {
  }
}

// ---------------------------------------------------------------- accept and cancel

// ValorDevuelto = CampoDevuelto of the first table that holds the code; `encontrado`
// tells whether one did.
void Lib_FrmCons3Tree::Aceptado(const std::string& codigo, bool& encontrado) {
  encontrado = false;
  auto buscar = [&](const std::string& tabla, const std::string& campo) {
    ado::Recordset rs;
    const bool hay = gDB().ExisteEnTabla(tabla, codigo, campo, &rs, basic::Variant(int32_t{8}), "", true);
    if (hay) {
      ValorDevuelto = basic::Variant(gFunciones().SinNulo(rs.Fields(CampoDevuelto)));
      encontrado = true;
    }
    if (rs.State() == ado::adStateOpen) gDB().CierraRecordset(rs);
    return hay;
  };
  const std::string campo = basic::UCase(basic::Trim(CampoDevuelto));
  if (campo == "IDFAMILIA") {
    buscar("@admin_V_TA_FAMILIAS", "IDFAMILIA");
  } else if (campo == "IDPOSICION") {
    buscar("MA_POSICIONES", "IDPOSICION");
  } else if (campo == "CODIGO") {
    if (!buscar("TA_CCOSTO", "CODIGO")) buscar("MA_CUENTAS", "CODIGO");
  }
}

void Lib_FrmCons3Tree::CmdAceptar_Click() {
  const auto aviso = [](const ErrorEjecucion& e) { return AvisoError(e, "CmdAceptar_Click"); };
  const std::string campo = basic::UCase(basic::Trim(CampoDevuelto));
  std::vector<FuncionPaso> pasos;
  if (CheckBoxes) {
    pasos.push_back(P([&] {
      if (!Valores) Valores = NuevaColeccion();
    }));
    for (auto* n : orden_) {
      pasos.push_back(P([this, n, campo] {
        if (n->checkState(0) != Qt::Checked) return;
        const std::string codigo = ClaveDe(n).substr(1);
        if (campo == "IDFAMILIA" || campo == "CODIGO") {
          Valores->push_back(basic::Trim(codigo));
        } else if (campo == "IDPOSICION") {
          ado::Recordset rs;
          if (gDB().ExisteEnTabla("MA_POSICIONES", codigo, "IDPOSICION", &rs, basic::Variant(int32_t{8}), "",
                                  true)) {
            Valores->push_back(gFunciones().SinNulo(rs.Fields(CampoDevuelto)));
          }
          if (rs.State() == ado::adStateOpen) gDB().CierraRecordset(rs);
        }
      }));
    }
  } else {
    pasos.push_back(P([&] {
      QTreeWidgetItem* n = arbol_->currentItem();
      const std::string clave = ClaveDe(n);
      const std::string codigo = clave.empty() ? "" : clave.substr(1);
      if (campo != "IDFAMILIA" && campo != "IDPOSICION" && campo != "CODIGO") return;
      bool encontrado = false;
      Aceptado(codigo, encontrado);
      if (!encontrado) ValorDevuelto = basic::Variant(std::string());
    }));
  }
  pasos.push_back(P([&] { hide(); }));
  basic::EjecutarPasos(pasos, aviso);
}

void Lib_FrmCons3Tree::CmdCancelar_Click() {
  ValorDevuelto = basic::Variant(std::string());
  Valores = nullptr;
  hide();
}

void Lib_FrmCons3Tree::reject() { CmdCancelar_Click(); }
