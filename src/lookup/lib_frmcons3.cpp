#include "lookup/lib_frmcons3.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <algorithm>
#include <cmath>

#include "companion/companion.h"
#include "data/db_dll.h"
#include "global/apariencia.h"
#include "global/configuracion.h"
#include "global/errores.h"
#include "lookup/anchos.h"
#include "lookup/editores.h"
#include "lookup/modelo_filas.h"
#include "lookup/sentencias.h"
#include "platform/ado/ado.h"
#include "platform/basic/formato.h"
#include "platform/basic/numero.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/os/rutas.h"
#include "platform/os/sistema.h"

using basic::FuncionPaso;
using basic::P;
using basic::Paso;

namespace {

// Sizes in twips.
constexpr int kAltoCaja = 315;
constexpr int kAltoFrame = 600;
constexpr int kAnchoBoton = 1215;
constexpr int kAltoBoton = 375;
constexpr int kAltoScroll = 255;
constexpr int kArribaCampos = 420;
// The classic window sizes count the caption bar and borders; Qt sizes the client area.
constexpr int kTitulo = 400;

int Px(double twips) { return ui::TwipsAPixeles(static_cast<int>(std::lround(twips))); }
int Tw(int pixeles) {
  const int porPulgada = std::max(1, ui::TwipsAPixeles(1440));
  return static_cast<int>(std::lround(pixeles * 1440.0 / porPulgada));
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

bool Contiene(const std::string& s, const std::string& parte) {
  return basic::InStr(s, parte, basic::CompararTexto) > 0;
}

// A colour value of the configuration: none when blank.
std::optional<int32_t> Color(const basic::Variant& v) {
  if (v.EsEmpty() || v.EsNull()) return std::nullopt;
  if (const auto* t = v.Cadena(); t && basic::Trim(*t).empty()) return std::nullopt;
  return static_cast<int32_t>(static_cast<int64_t>(v.Numero()));
}

int AnchoPantallaTwips() {
  if (auto* pantalla = QGuiApplication::primaryScreen()) return Tw(pantalla->availableGeometry().width());
  return 15360;
}

}  // namespace

Lib_FrmCons3::Lib_FrmCons3(QWidget* parent) : QDialog(parent) {
  setObjectName("Lib_FrmCons3");
  setWindowTitle("Consulta...");
  setModal(true);
  modelo_ = new ModeloFilas(this);

  label1_ = new QLabel("CONSULTA", this);
  label1_->setObjectName("Label1");
  QFont negrita = label1_->font();
  negrita.setBold(true);
  label1_->setFont(negrita);
  cmdNuevo_ = new QPushButton("N&uevo", this);
  cmdNuevo_->setObjectName("CmdNuevo");
  cmdTodos_ = new QPushButton("&Marcar", this);
  cmdTodos_->setObjectName("CmdTodos");

  marco_ = new QWidget(this);
  picFields_ = new QWidget(marco_);
  picFields_->setObjectName("picFields");
  lista_ = new QTableView(picFields_);
  lista_->setObjectName("ListView1");
  lista_->setModel(modelo_);
  lista_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lista_->setSelectionMode(QAbstractItemView::SingleSelection);
  lista_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lista_->setWordWrap(false);
  lista_->setShowGrid(false);
  lista_->verticalHeader()->hide();
  lista_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  lista_->horizontalHeader()->setSectionsClickable(true);
  lista_->horizontalHeader()->setHighlightSections(false);
  lista_->horizontalHeader()->setStretchLastSection(false);
  lista_->installEventFilter(this);
  lblFieldName_ = new QLabel(picFields_);
  lblFieldName_->setObjectName("lblFieldName");
  lblFieldName_->hide();
  NuevaCaja(0);

  hscroll_ = new QScrollBar(Qt::Horizontal, this);
  hscroll_->setObjectName("HScroll1");

  frame1_ = new QFrame(this);
  frame1_->setObjectName("Frame1");
  cmdAceptar_ = new QPushButton("&Aceptar", frame1_);
  cmdAceptar_->setObjectName("CmdAceptar");
  cmdAceptar_->setDefault(true);
  cmdCancelar_ = new QPushButton("&Cancelar", frame1_);
  cmdCancelar_->setObjectName("CmdCancelar");
  cmdNueva_ = new QPushButton("&Nueva Busqueda", frame1_);
  cmdNueva_->setObjectName("CmdNueva");
  for (auto* b : {cmdAceptar_, cmdCancelar_, cmdNueva_, cmdNuevo_, cmdTodos_}) {
    b->resize(Px(kAnchoBoton), Px(kAltoBoton));
    b->setAutoDefault(false);
  }
  cmdAceptar_->setDefault(true);

  connect(cmdAceptar_, &QPushButton::clicked, this, [this] { CmdAceptar_Click(); });
  connect(cmdCancelar_, &QPushButton::clicked, this, [this] { CmdCancelar_Click(); });
  connect(cmdNueva_, &QPushButton::clicked, this, [this] { CmdNueva_Click(); });
  connect(cmdNuevo_, &QPushButton::clicked, this, [this] { CmdNuevo_Click(); });
  connect(cmdTodos_, &QPushButton::clicked, this, [this] { CmdTodos_Click(); });
  connect(lista_, &QTableView::doubleClicked, this, [this](const QModelIndex&) { CmdAceptar_Click(); });
  connect(lista_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int c) { ListView1_ColumnClick(c); });
  connect(lista_->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int c, int, int nuevo) {
    if (c >= 0 && static_cast<size_t>(c) < anchos_.size()) anchos_[static_cast<size_t>(c)] = Tw(nuevo);
    UbicarCajas();
  });
  connect(lista_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int) { UbicarCajas(); });
  connect(hscroll_, &QScrollBar::valueChanged, this, [this](int v) { HScroll1_Change(v); });
  auto* f12 = new QShortcut(QKeySequence(Qt::Key_F12), this);
  connect(f12, &QShortcut::activated, this, [this] { Form_KeyDown(123); });

  resize(Px(9000), Px(6000));
}

Lib_FrmCons3::~Lib_FrmCons3() = default;

QComboBox* Lib_FrmCons3::NuevaCaja(int i) {
  auto* caja = new QComboBox(picFields_);
  caja->setObjectName(QString("CmbSearch%1").arg(i));
  caja->setEditable(true);
  caja->setInsertPolicy(QComboBox::NoInsert);
  caja->setToolTip("F5 realiza nueva busqueda");
  caja->resize(Px(1500), Px(kAltoCaja));
  caja->installEventFilter(this);
  caja->lineEdit()->installEventFilter(this);
  connect(caja, &QComboBox::editTextChanged, this, [this, i](const QString&) {
    if (!cambiandoCaja_) CmbSearch_Change(i);
  });
  cajas_.push_back(caja);
  tags_.push_back(i == 0 ? "IdArticulo" : "");
  if (i > 0) QWidget::setTabOrder(cajas_[static_cast<size_t>(i - 1)], caja);
  return caja;
}

QComboBox* Lib_FrmCons3::CmbSearch(int i) const {
  if (i < 0 || static_cast<size_t>(i) >= cajas_.size()) return nullptr;
  return cajas_[static_cast<size_t>(i)];
}

std::string Lib_FrmCons3::TagCaja(int i) const {
  if (i < 0 || static_cast<size_t>(i) >= tags_.size()) return "";
  return tags_[static_cast<size_t>(i)];
}

void Lib_FrmCons3::EjecutarModal() {
  Cargar();
  exec();
}

void Lib_FrmCons3::Cargar() {
  if (!cargada_) Form_Load();
}

// ---------------------------------------------------------------- load

void Lib_FrmCons3::Form_Load() {
  cargada_ = true;
  const auto aviso = [](const ErrorEjecucion& e) { return AvisoError(e, "FORM_LOAD"); };
  auto db = [this]() -> DB_Dll& { return UsarUDBC ? gDBConsultas() : gDB(); };
  bool abierto = false;
  const std::vector<FuncionPaso> pasos = {
      P([&] { esArticulos_ = Contiene(SQL, "articulos"); }),
      P([&] {
        Valores = NuevaColeccion();
        Cantidades = NuevaColeccion();
        modelo_->Limpiar();
        QFont f = lista_->font();
        f.setBold(true);
        f.setPointSize(10);
        lista_->setFont(f);
        lista_->verticalHeader()->setDefaultSectionSize(QFontMetrics(f).height() + 4);
      }),
      [&] {
        if (!basic::Trim(SQL).empty()) return Paso::Seguir;
        gFunciones().AbrirFormulario(this, false);
        return Paso::Salir;
      },
      P([&] {
        SQL += " ";
        tablaActual_ = TablaDeSentencia(SQL);
      }),
      P([&] {
        if (basic::Trim(sentenciaInicial_).empty()) sentenciaInicial_ = SQL;
        sentenciaBase_ = SQL;
      }),
      P([&] {
        rs_ = std::make_unique<ado::Recordset>();
        db().AbrirRecordset(std::string(SQL), *rs_, nullptr, 0, 1, -1, true);
        abierto = rs_->State() == ado::adStateOpen;
      }),
      P([&] { MostrarCasillas(CheckBoxes); }),
      // A statement that failed has been reported by the data layer: no columns, no rows.
      P([&] {
        if (abierto) Encolumnar();
      }),
      P([&] {
        if (abierto) Leer(0, 0);
      }),
      P([&] {
        if (OrdenarPorLwv) modelo_->Ordenar(modelo_->ColumnaOrden(), modelo_->Ascendente());
      }),
      P([&] {
        if (modelo_->Filas() > 0 && FilaSeleccionada() == 0) SeleccionarFila(1);
      }),
      P([&] {
        if (!basic::Trim(FiltroInicial).empty()) CmbSearch(0)->setEditText(Q(FiltroInicial));
      }),
      P([&] {
        if (rs_) db().CierraRecordset(*rs_);
        rs_.reset();
      }),
      P([&] { CargarAnchos(); }),
      P([&] { CalcularAncho(); }),
      P([&] { gFunciones().AbrirFormulario(this, false); }),
  };
  basic::EjecutarPasos(pasos, aviso);
}

void Lib_FrmCons3::Encolumnar() {
  modelo_->LimpiarColumnas();
  anchos_.clear();
  const bool articulos = Contiene(SQL, "V_MA_ARTICULOS") || Contiene(SQL, "STK_MA_ARTICULOS");
  try {
    const long campos = rs_->FieldCount();
    for (long i = 0; i < campos; ++i) {
      ado::Field& f = rs_->Fields(i);
      long ancho = f.DefinedSize();
      if (f.Type() == ado::adCurrency || f.Type() == ado::adNumeric) ancho = 12;
      // A size the engine does not know would give an invisible column.
      if (ancho <= 0) ancho = std::max(1, basic::Len(f.Name()));
      if (static_cast<size_t>(i) >= cajas_.size()) NuevaCaja(static_cast<int>(i));
      tags_[static_cast<size_t>(i)] = f.Name();
      cajas_[static_cast<size_t>(i)]->setVisible(true);
      if (ancho >= 60) ancho = 60;
      std::string titulo = f.Name();
      if (articulos) {
        const std::string u = basic::UCase(f.Name());
        if (u.size() == 7 && u.rfind("PRECIO", 0) == 0 && u[6] >= '1' && u[6] <= '8')
          titulo = basic::Trim(Cfg(std::string("NOM_PCLASE") + u[6]));
      } else if (basic::IgualesSinCaso(ValoresDefault, "@10")) {
        ancho += 10;
      }
      AgregarColumna(titulo, AnchoTexto(basic::String(static_cast<int>(ancho), "X")));
    }
    for (size_t i = static_cast<size_t>(campos); i < cajas_.size(); ++i) {
      if (i > 0) cajas_[i]->setVisible(false);
    }
  } catch (const ErrorEjecucion& e) {
    ui::operador().MsgBox(e.Description, ui::vbOKOnly, "");
  }
}

void Lib_FrmCons3::Leer(long, long) {
  const auto aviso = [](const ErrorEjecucion& e) { return AvisoError(e, "FORM_LOAD"); };
  basic::EjecutarPasos(
      {[&] {
        if (!rs_ || rs_->Bof()) return Paso::Salir;
        const long campos = rs_->FieldCount();
        auto indice = [&](const std::string& nombre) -> long {
          for (long i = 0; i < campos; ++i)
            if (basic::IgualesSinCaso(rs_->Fields(i).Name(), nombre)) return i;
          return -1;
        };
        const long iPunto = indice("PUNTOPEDIDO");
        const long iStock = indice("Stock");
        const long iDevuelto = indice(basic::Trim(CampoDevuelto));
        const bool colorear =
            esArticulos_ && basic::UCase(basic::Trim(MuestraStock)) == "SI" && iPunto >= 0 && iStock >= 0;
        const auto n1 = Color(StkNivel1), n2 = Color(StkNivel2), n3 = Color(StkNivel3), n4 = Color(StkNivel4);
        auto filas = rs_->GetRows();
        std::vector<ModeloFilas::Fila> nuevas;
        nuevas.reserve(filas.size());
        for (auto& valores : filas) {
          ModeloFilas::Fila fila;
          fila.celdas.resize(static_cast<size_t>(campos));
          for (long i = 0; i < campos && static_cast<size_t>(i) < valores.size(); ++i) {
            const basic::Variant& v = valores[static_cast<size_t>(i)];
            std::string t = v.EsNull() ? std::string() : v.Texto();
            fila.celdas[static_cast<size_t>(i)] = i == 0 ? basic::Trim(t) : std::move(t);
          }
          if (CheckBoxes && iDevuelto >= 0) {
            const std::string valor = basic::Trim(fila.celdas[static_cast<size_t>(iDevuelto)]);
            if (!valor.empty() && basic::InStr(ValoresDefault, valor, basic::CompararTexto) > 0)
              fila.marcada = true;
          }
          if (colorear) {
            const double punto = valores[static_cast<size_t>(iPunto)].Numero();
            const double stock = valores[static_cast<size_t>(iStock)].Numero();
            if (punto == 0 && stock > 0)
              fila.color = n1;
            else if (punto > 0 && stock > punto)
              fila.color = n2;
            else if (punto > 0 && stock < punto)
              fila.color = n3;
            else
              fila.color = n4;
          }
          nuevas.push_back(std::move(fila));
        }
        modelo_->Reemplazar(std::move(nuevas));
        return Paso::Seguir;
      }},
      aviso);
}

int Lib_FrmCons3::AnchoTexto(const std::string& texto) const {
  return Tw(QFontMetrics(font()).horizontalAdvance(Q(texto)));
}

void Lib_FrmCons3::LimpiarColumnas() {
  modelo_->LimpiarColumnas();
  anchos_.clear();
}

void Lib_FrmCons3::AgregarColumna(const std::string& titulo, int anchoTwips) {
  modelo_->AgregarColumna(titulo);
  anchos_.push_back(anchoTwips);
  lista_->horizontalHeader()->resizeSection(modelo_->Columnas() - 1, Px(anchoTwips));
}

void Lib_FrmCons3::AgregarFila(const std::string& texto, bool marcada) {
  ModeloFilas::Fila f;
  f.celdas.push_back(texto);
  f.marcada = marcada;
  modelo_->Agregar(std::move(f));
}

void Lib_FrmCons3::MostrarCasillas(bool casillas) { modelo_->FijarCasillas(casillas); }

int Lib_FrmCons3::AnchoColumna(int c) const {
  if (c < 1 || static_cast<size_t>(c) > anchos_.size()) return 0;
  return anchos_[static_cast<size_t>(c - 1)];
}

void Lib_FrmCons3::FijarAnchoColumna(int c, int twips) {
  if (c < 1 || static_cast<size_t>(c) > anchos_.size()) return;
  anchos_[static_cast<size_t>(c - 1)] = twips;
  lista_->horizontalHeader()->resizeSection(c - 1, Px(twips));
}

void Lib_FrmCons3::AplicarAnchos() {
  for (size_t c = 0; c < anchos_.size(); ++c)
    lista_->horizontalHeader()->resizeSection(static_cast<int>(c), Px(anchos_[c]));
}

void Lib_FrmCons3::UbicarCajas() {
  auto* h = lista_->horizontalHeader();
  const int x0 = lista_->x() + lista_->frameWidth();
  for (size_t c = 0; c < cajas_.size(); ++c) {
    if (static_cast<int>(c) >= modelo_->Columnas()) continue;
    const int ancho = std::max(Px(200), h->sectionSize(static_cast<int>(c)) - Px(50));
    cajas_[c]->setGeometry(x0 + h->sectionViewportPosition(static_cast<int>(c)), 0, ancho, Px(kAltoCaja));
  }
}

void Lib_FrmCons3::CalcularAncho() {
  AplicarAnchos();
  double total = 0;
  for (int a : anchos_) total += a;
  const int anchoLista = static_cast<int>(total) + 360;
  const int anchoPic = static_cast<int>(std::lround(total)) + 360;
  lista_->resize(Px(anchoLista), lista_->height());
  picFields_->resize(Px(anchoPic), picFields_->height());
  hscroll_->resize(Px(total), hscroll_->height());
  hscroll_->setMaximum(anchoPic <= 32700 ? static_cast<int>((anchoPic + 480) * 0.6) : 32700);
  const int pantalla = AnchoPantallaTwips();
  const int anchoVentana = anchoLista + 360 >= pantalla ? pantalla - 480 : anchoLista + 280;
  resize(Px(anchoVentana), height());
  Form_Resize();
}

void Lib_FrmCons3::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  Form_Resize();
}

void Lib_FrmCons3::Form_Resize() {
  try {
    const int alto = Tw(height()) + kTitulo;
    const int ancho = Tw(width());
    double total = 0;
    for (int a : anchos_) total += a;
    label1_->setGeometry(Px(120), Px(60), std::max(Px(600), lista_->width() - cmdNuevo_->width() * 2),
                         Px(300));
    cmdTodos_->move(width() - cmdTodos_->width() - Px(120), Px(30));
    cmdNuevo_->move(cmdTodos_->x() - cmdNuevo_->width() - Px(60), Px(30));

    const int altoPic = alto - kAltoFrame - 480 - kArribaCampos;
    const int altoLista = altoPic - kAltoFrame - 600 + kAltoFrame;
    // The fields are as wide as their columns; the window shows what fits and the scroll
    // bar shifts them sideways.
    const int anchoPic = std::max(ancho - 120, static_cast<int>(total) + 360);
    marco_->setGeometry(Px(60), Px(kArribaCampos), std::max(0, width() - Px(120)), Px(altoPic));
    picFields_->resize(Px(anchoPic), Px(altoPic));
    lista_->setGeometry(0, Px(kAltoCaja + 30), Px(anchoPic - 20),
                        std::max(Px(300), Px(altoLista - kAltoCaja - 30 - kAltoScroll)));
    const int sobra = anchoPic - (ancho - 120);
    hscroll_->setVisible(sobra > 0);
    hscroll_->setMaximum(std::max(0, sobra));
    hscroll_->setGeometry(Px(60), Px(kArribaCampos + altoPic - kAltoScroll - 120) + Px(60), Px(ancho - 120),
                          Px(kAltoScroll));

    const int topFrame = alto - kAltoFrame - 520;
    frame1_->setGeometry(0, Px(topFrame), width(), Px(kAltoFrame));
    const int anchoFrame = ancho;
    int anchoAceptar = kAnchoBoton, anchoCancelar = kAnchoBoton;
    int izqAceptar = 100, izqCancelar = (anchoFrame - anchoCancelar) / 2;
    int izqNueva = anchoFrame - (anchoCancelar + 150);
    if (cmdNueva_->isHidden()) {
      if (anchoAceptar + anchoCancelar + 400 > anchoFrame) {
        anchoAceptar /= 2;
        anchoCancelar = anchoAceptar;
        izqCancelar = anchoFrame - (anchoCancelar + 150);
        izqNueva = izqCancelar;
      } else {
        izqCancelar = izqNueva;
      }
    }
    const int arriba = Px((kAltoFrame - kAltoBoton) / 2);
    cmdAceptar_->setGeometry(Px(izqAceptar), arriba, Px(anchoAceptar), Px(kAltoBoton));
    cmdCancelar_->setGeometry(Px(izqCancelar), arriba, Px(anchoCancelar), Px(kAltoBoton));
    cmdNueva_->setGeometry(Px(izqNueva), arriba, Px(kAnchoBoton), Px(kAltoBoton));
    UbicarCajas();
  } catch (...) {
  }
}

void Lib_FrmCons3::HScroll1_Change(int valor) { picFields_->move(-Px(valor), picFields_->y()); }

// ---------------------------------------------------------------- column widths

void Lib_FrmCons3::CargarAnchos() {
  const std::string archivo = gFunciones().AgregarBarra(os::CarpetaAplicacion()) + kArchivoAnchos;
  if (!os::ArchivoExisteSinCaso(archivo)) return;
  if (basic::IgualesSinCaso(tablaActual_, "Stk_ma_articulos")) tablaActual_ = "VT_MA_ARTICULOS";
  const auto anchos = LeerAnchos(archivo, tablaActual_);
  for (size_t c = 0; c < anchos.size() && c < anchos_.size(); ++c)
    if (anchos[c]) FijarAnchoColumna(static_cast<int>(c) + 1, *anchos[c]);
  UbicarCajas();
}

void Lib_FrmCons3::GuardarAnchos() {
  if (!GrabarCfg || basic::Trim(tablaActual_).empty() || anchos_.empty()) return;
  GrabarAnchos(gFunciones().AgregarBarra(os::CarpetaAplicacion()) + kArchivoAnchos, tablaActual_, anchos_);
}

void Lib_FrmCons3::Form_Unload() {
  try {
    UsarUDBC = false;
    GuardarAnchos();
    modelo_->Limpiar();
  } catch (const ErrorEjecucion& e) {
    ui::operador().MsgBox(e.Description, ui::vbCritical, "Aviso al Operador");
  } catch (const std::exception& e) {
    ui::operador().MsgBox(e.what(), ui::vbCritical, "Aviso al Operador");
  }
}

// ---------------------------------------------------------------- rows and columns

int Lib_FrmCons3::IndiceColumna(const std::string& Columna) const {
  const std::string buscada = basic::Trim(Columna);
  for (int c = 0; c < modelo_->Columnas(); ++c)
    if (basic::IgualesSinCaso(basic::Trim(modelo_->TituloColumna(c)), buscada)) return c + 1;
  return 0;
}

long Lib_FrmCons3::Busqueda(int Clave, const std::string& QueValor) const {
  return modelo_->Buscar(Clave, QueValor) + 1;
}

std::string Lib_FrmCons3::ValorColumna(int fila0, int c) const { return modelo_->Celda(fila0, c - 1); }

int Lib_FrmCons3::FilaSeleccionada() const {
  const auto filas = lista_->selectionModel()->selectedIndexes();
  if (filas.isEmpty()) return 0;
  return filas.first().row() + 1;
}

void Lib_FrmCons3::SeleccionarFila(int fila) {
  if (fila < 1 || fila > modelo_->Filas()) {
    lista_->selectionModel()->clearSelection();
    return;
  }
  const QModelIndex i = modelo_->index(fila - 1, 0);
  lista_->selectionModel()->setCurrentIndex(i,
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  lista_->scrollTo(i);
}

// ---------------------------------------------------------------- accept and cancel

void Lib_FrmCons3::CmdAceptar_Click() {
  const auto aviso = [](const ErrorEjecucion& e) { return AvisoError(e, "CmdAceptar_Click"); };
  basic::EjecutarPasos({P([&] { Aceptar(); })}, aviso);
}

void Lib_FrmCons3::Aceptar() {
  std::string ultimo;
  if (!Valores) Valores = NuevaColeccion();
  if (CheckBoxes) {
    if (basic::Trim(CampoDevuelto).empty() && modelo_->Columnas() > 0)
      CampoDevuelto = modelo_->TituloColumna(0);
    const int c = IndiceColumna(CampoDevuelto);
    for (int r = 0; r < modelo_->Filas(); ++r) {
      if (!modelo_->FilaEn(r).marcada) continue;
      if (c >= 1) ultimo = ValorColumna(r, c);
      Valores->push_back(ultimo);
    }
    hide();
    return;
  }
  const int sel = FilaSeleccionada();
  if (sel == 0) {
    hide();
    return;
  }
  if (CmpsDevueltos) {
    for (const auto& nombre : *CmpsDevueltos) {
      const int c = IndiceColumna(nombre);
      if (c >= 1) ultimo = ValorColumna(sel - 1, c);
      Valores->push_back(ultimo);
    }
  }
  if (!basic::Trim(CampoDevuelto).empty()) {
    const int c = IndiceColumna(CampoDevuelto);
    if (c >= 1) ultimo = ValorColumna(sel - 1, c);
  }
  ValorDevuelto = basic::Variant(ultimo);
  hide();
}

void Lib_FrmCons3::CmdCancelar_Click() {
  ValorDevuelto = basic::Variant(std::string());
  CmpsDevueltos = nullptr;
  Valores = nullptr;
  hide();
}

void Lib_FrmCons3::reject() { CmdCancelar_Click(); }

// ---------------------------------------------------------------- searching

void Lib_FrmCons3::CmbSearch_Change(int Index) {
  try {
    QComboBox* caja = CmbSearch(Index);
    if (!caja) return;
    const int clave = gFunciones().AEntero(std::to_string(Index));
    const long r = Busqueda(clave, basic::Trim(S(caja->currentText())));
    if (r != 0) SeleccionarFila(static_cast<int>(r));
  } catch (...) {
  }
}

void Lib_FrmCons3::CmbSearch_GotFocus(int Index) {
  QComboBox* caja = CmbSearch(Index);
  if (!caja) return;
  buscadorActual_ = Index;
  caja->lineEdit()->setStyleSheet("background-color: rgb(0, 255, 255);");
}

void Lib_FrmCons3::CmbSearch_LostFocus(int Index) {
  QComboBox* caja = CmbSearch(Index);
  if (!caja) return;
  caja->lineEdit()->setStyleSheet("background-color: rgb(255, 255, 255);");
}

bool Lib_FrmCons3::CmbSearch_KeyDown(int Index, int KeyCode) {
  QComboBox* caja = CmbSearch(Index);
  if (!caja) return false;
  if (KeyCode == 116) {  // F5
    std::string texto = S(caja->currentText());
    std::string nueva;
    basic::EjecutarIgnorando({
        P([&] {
          nueva = SentenciaF5(SQL, sentenciaBase_, clausulaFinal_, TagCaja(Index), texto, CfgUsaConsultaLIKE);
        }),
        P([&] {
          cambiandoCaja_ = true;
          caja->setEditText(Q(texto));
          cambiandoCaja_ = false;
        }),
        P([&] {
          if (nueva.empty()) return;
          SQL = nueva;
          caja->setEditText("");
          sentenciaBase_ = SQL;
          Form_Load();
        }),
    });
    return true;
  }
  if (KeyCode == 40 || KeyCode == 38 || KeyCode == 34 || KeyCode == 33) {
    lista_->setFocus();
    return true;
  }
  return false;
}

void Lib_FrmCons3::AgregarACaja(const std::string& caracter) {
  QComboBox* caja = CmbSearch(buscadorActual_);
  if (!caja) return;
  caja->setEditText(caja->currentText() + Q(caracter));
  caja->setFocus();
}

int Lib_FrmCons3::ColumnaCantidad() const { return IndiceColumna("**Cantidad**"); }

bool Lib_FrmCons3::ListView1_KeyDown(int KeyCode, int Shift) {
  bool usada = false;
  const auto aviso = [](const ErrorEjecucion& e) { return AvisoError(e, "ListView1_KeyDown"); };
  const int sel = FilaSeleccionada();
  const int cCantidad = ColumnaCantidad();
  const bool cantidadActiva = UsaCantidades && sel > 0 && cCantidad > 0;
  auto cantidad = [&] { return basic::Val(ValorColumna(sel - 1, cCantidad)); };
  auto fijarCantidad = [&](const std::string& t) { modelo_->FijarCelda(sel - 1, cCantidad - 1, t); };
  std::string respuesta;
  std::vector<FuncionPaso> pasos;
  if (KeyCode == 32 && CheckBoxes) {
    pasos.push_back(P([&] {
      usada = true;
      if (sel > 0) modelo_->FijarMarcada(sel - 1, !modelo_->FilaEn(sel - 1).marcada);
    }));
  } else if (KeyCode == 13) {
    pasos.push_back(P([&] {
      usada = true;
      CmdAceptar_Click();
    }));
  } else if (KeyCode == 45 && (Shift & 1) && UsaCantidades) {
    usada = true;
    if (cantidadActiva) {
      pasos.push_back(P([&] {
        respuesta = ui::operador().InputBox("Ingrese la Cantidad del Articulo...", "Carga de Datos",
                                            ValorColumna(sel - 1, cCantidad));
      }));
      pasos.push_back(P([&] {
        if (basic::Trim(respuesta).empty()) return;  // cancelled: the quantity stays
        const double v = gFunciones().ANumero(respuesta).ADouble();
        fijarCantidad(v > 0 ? basic::Format(basic::Variant(v), "########0.00") : "0.00");
        modelo_->FijarMarcada(sel - 1, v > 0);
      }));
    }
  } else if (KeyCode == 45 && !(Shift & 1) && UsaCantidades) {
    usada = true;
    if (cantidadActiva) {
      pasos.push_back(
          P([&] { fijarCantidad(basic::Format(basic::Variant(cantidad() + 1), "########0.0")); }));
      pasos.push_back(P([&] { modelo_->FijarMarcada(sel - 1, true); }));
    }
  } else if (KeyCode == 46 && !(Shift & 1) && UsaCantidades) {
    usada = true;
    if (cantidadActiva) {
      pasos.push_back(
          P([&] { fijarCantidad(basic::Format(basic::Variant(cantidad() - 1), "########0.0")); }));
      pasos.push_back(P([&] {
        if (cantidad() <= 0) {
          modelo_->FijarMarcada(sel - 1, false);
          fijarCantidad("0.00");
        }
      }));
    }
  } else if ((KeyCode >= 47 && KeyCode <= 93) || (KeyCode >= 97 && KeyCode <= 111)) {
    // Function keys (112 and up) carry no character.
    pasos.push_back(P([&] {
      usada = true;
      AgregarACaja(basic::Chr(KeyCode));
    }));
  } else if (KeyCode == 8) {
    pasos.push_back(P([&] {
      usada = true;
      QComboBox* caja = CmbSearch(buscadorActual_);
      if (!caja) return;
      QString t = caja->currentText();
      t.chop(1);
      caja->setEditText(t);
      caja->setFocus();
    }));
  } else if (KeyCode == 32 && !CheckBoxes) {
    pasos.push_back(P([&] {
      usada = true;
      AgregarACaja(" ");
    }));
  }
  basic::EjecutarPasos(pasos, aviso);
  return usada;
}

bool Lib_FrmCons3::Form_KeyDown(int KeyCode) {
  if (KeyCode != 123 || !esArticulos_) return false;
  try {
    const int sel = FilaSeleccionada();
    if (sel == 0) return true;
    const int cId = IndiceColumna("idarticulo");
    const int cDesc = IndiceColumna("Descripcion");
    const std::string id = cId > 0 ? ValorColumna(sel - 1, cId) : "";
    const std::string desc = cDesc > 0 ? ValorColumna(sel - 1, cDesc) : "";
    const int r = ui::operador().MsgBox("Desea informar el articulo " + basic::Trim(id) + " " +
                                            basic::Trim(desc) + "\r\n" + "como un faltante de stock?",
                                        int{ui::vbYesNo} + int{ui::vbQuestion}, "Atención!");
    if (r != ui::vbYes) return true;
    const std::string ahora = basic::Variant::DeFecha(os::sistema().Ahora()).Texto();
    gDB().EjecutaConsultaSQL(
        "INSERT INTO V_MV_FALTANTES (FechaHora,IdArticulo,Descripcion,Usuario) values('" + ahora + "','" +
        basic::DoblarComillas(gFunciones().FormatearTexto(id, 25)) + "','" +
        basic::DoblarComillas(basic::Trim(desc)) + "','" + basic::DoblarComillas(gDB().gUsuario) + "')");
  } catch (...) {
  }
  return true;
}

void Lib_FrmCons3::ListView1_ColumnClick(int columna) {
  if (columna < 0 || columna >= modelo_->Columnas()) return;
  modelo_->Ordenar(columna, !modelo_->Ascendente());
}

// ---------------------------------------------------------------- buttons

void Lib_FrmCons3::CmdTodos_Click() { modelo_->InvertirMarcas(); }

void Lib_FrmCons3::CmdNuevo_Click() {
  try {
    const EditorTabla editor = EditorDeTabla(tablaActual_);
    std::string parametro = editor.parametro;
    long tarea = 0;
    MenuExes("SHELL:" + editor.programa, parametro, tarea);
  } catch (...) {
  }
}

void Lib_FrmCons3::CmdNueva_Click() {
  try {
    SQL = sentenciaInicial_;
    Form_Load();
    if (QComboBox* caja = CmbSearch(0)) caja->setFocus();
  } catch (...) {
  }
}

// ---------------------------------------------------------------- events

bool Lib_FrmCons3::eventFilter(QObject* objeto, QEvent* evento) {
  const auto tipo = evento->type();
  if (objeto == lista_ && tipo == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(evento);
    const int codigo = CodigoTecla(k->key(), k->modifiers() & Qt::KeypadModifier);
    int shift = 0;
    if (k->modifiers() & Qt::ShiftModifier) shift |= 1;
    if (k->modifiers() & Qt::ControlModifier) shift |= 2;
    if (k->modifiers() & Qt::AltModifier) shift |= 4;
    if (codigo != 0 && (shift & 6) == 0 && ListView1_KeyDown(codigo, shift)) return true;
    return QDialog::eventFilter(objeto, evento);
  }
  for (size_t i = 0; i < cajas_.size(); ++i) {
    QComboBox* caja = cajas_[i];
    if (objeto != caja && objeto != caja->lineEdit()) continue;
    const int indice = static_cast<int>(i);
    if (tipo == QEvent::KeyPress) {
      auto* k = static_cast<QKeyEvent*>(evento);
      if (CmbSearch_KeyDown(indice, CodigoTecla(k->key(), false))) return true;
    } else if (tipo == QEvent::FocusIn && objeto == caja->lineEdit()) {
      CmbSearch_GotFocus(indice);
    } else if (tipo == QEvent::FocusOut && objeto == caja->lineEdit()) {
      CmbSearch_LostFocus(indice);
    } else if (tipo == QEvent::MouseButtonPress && objeto == caja->lineEdit()) {
      CmbSearch_Change(indice);
    }
    break;
  }
  return QDialog::eventFilter(objeto, evento);
}
