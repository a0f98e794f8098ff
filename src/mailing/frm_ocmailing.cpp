#include "mailing/frm_ocmailing.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QTextCursor>
#include <QTextDocument>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>

#include "companion/companion.h"
#include "data/db_dll.h"
#include "startup/acceso.h"
#include "global/apariencia.h"
#include "startup/cargar_parametros.h"
#include "lookup/lib_clscons3.h"
#include "mailing/consulta_pendientes.h"
#include "mailing/modelo_proveedores.h"
#include "platform/ado/ado.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "mailing/despacho.h"
#include "mailing/devueltas.h"
#include "companion/rutas_correo.h"
#include "platform/os/sistema.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador.h"
#include "platform/ui/qt/operador_qt.h"
#include "platform/ui/qt/teclas.h"

using basic::P;
using basic::Trim;

namespace {

constexpr const char* kTitulo = "Envio de mail a Proveedores por OC";
constexpr const char* kTablaPendientes = "V_Oc_pendientes";

// Client area and the fixed parts of the layout, in twips.
constexpr int kAnchoCliente = 10395;
constexpr int kAltoCliente = 5715;
constexpr int kListaTop = 1335;
constexpr int kFrame2Alto = 1170;
constexpr int kFrame3Alto = 1680;
// The frame (borders and caption) of the window the layout was drawn on. The resize rules
// read the outer size as the client size plus this frame, whatever frame the window
// manager draws (none offscreen, its own title bar elsewhere), so the layout keeps the
// margins it was drawn with on every platform.
constexpr int kMarcoAncho = 70;
constexpr int kMarcoAlto = 590;

// Key codes and shift bits as the handlers receive them.
constexpr int vbKeyReturn = 13;
constexpr int vbKeyEscape = 27;
constexpr int vbKeyF5 = 116;
constexpr int vbRightButton = 2;
constexpr int vbShiftMask = 1;
constexpr int vbCtrlMask = 2;

constexpr int kErrorValorPropiedad = 380;
constexpr int kErrorObjetoNoEstablecido = 91;
constexpr int kErrorInterno = 51;

QRect T(int left, int top, int width, int height) {
  return QRect(ui::TwipsAPixeles(left), ui::TwipsAPixeles(top), ui::TwipsAPixeles(width),
               ui::TwipsAPixeles(height));
}

int PixelesATwips(int px) {
  const int dpi = ui::TwipsAPixeles(1440);
  return dpi > 0 ? static_cast<int>(std::lround(px * 1440.0 / dpi)) : px * 15;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A step of a routine under a prompt: any failure is a run-time error of the routine.
basic::FuncionPaso Paso(std::function<void()> f) {
  return [f = std::move(f)] {
    try {
      f();
    } catch (const ErrorEjecucion&) {
      throw;
    } catch (const std::exception& e) {
      throw ErrorEjecucion(kErrorInterno, e.what(), "frmOCMailing");
    }
    return basic::Paso::Seguir;
  };
}

basic::Aviso AvisoDe(const std::string& rutina) {
  return [rutina](const ErrorEjecucion& e) { return gFunciones().MostrarError(e, rutina); };
}

// The first installed family of the list; the application's font otherwise.
QString FamiliaCercana(std::initializer_list<const char*> preferidas) {
  const QStringList familias = QFontDatabase::families();
  for (const char* p : preferidas)
    if (familias.contains(QString::fromLatin1(p), Qt::CaseInsensitive)) return QString::fromLatin1(p);
  return QApplication::font().family();
}

// Key code of the suite's handlers for a key event (0 when it has none).
int CodigoTecla(const QKeyEvent* e) { return ui::CodigoTecla(e->key(), e->modifiers() & Qt::KeypadModifier); }

int Mayusculas(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

// Pictures of the picture buttons, drawn so they need no image files.
QIcon IconoBoton(const QString& tipo) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor azul(0x1f, 0x4f, 0x9a);
  QPen lapiz(azul, 2.2);
  p.setPen(lapiz);
  if (tipo == "cargar") {  // circular arrow
    p.drawArc(QRectF(6, 6, 20, 20), 40 * 16, 280 * 16);
    QPainterPath punta;
    punta.moveTo(27, 5);
    punta.lineTo(27, 14);
    punta.lineTo(18, 12);
    punta.closeSubpath();
    p.fillPath(punta, azul);
  } else if (tipo == "ver") {  // sheet with lines
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 3, 18, 25));
    p.setPen(QPen(azul, 1.5));
    for (int y = 9; y <= 22; y += 4) p.drawLine(QPointF(10, y), QPointF(22, y));
  } else if (tipo == "enviar") {  // envelope
    p.setBrush(QColor(0xff, 0xf4, 0xd6));
    p.drawRect(QRectF(3, 8, 26, 17));
    p.drawLine(QPointF(3, 8), QPointF(16, 18));
    p.drawLine(QPointF(29, 8), QPointF(16, 18));
  } else if (tipo == "consultar") {  // magnifier
    p.setBrush(QColor(0xe5, 0xf3, 0xfb));
    p.drawEllipse(QRectF(5, 5, 15, 15));
    p.setPen(QPen(azul, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(27, 27));
  } else if (tipo == "salir") {  // door with arrow
    p.drawRect(QRectF(6, 4, 14, 24));
    p.setPen(QPen(QColor(0xb0, 0x20, 0x20), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 16), QPointF(29, 16));
    p.drawLine(QPointF(24, 11), QPointF(29, 16));
    p.drawLine(QPointF(24, 21), QPointF(29, 16));
  }
  return QIcon(pm);
}

// In-place edits of the row text go through the window's label-edit handler, which
// refuses them.
class DelegadoSinEdicion : public QStyledItemDelegate {
 public:
  DelegadoSinEdicion(frmOCMailing* ventana) : QStyledItemDelegate(ventana), ventana_(ventana) {}
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    int cancelar = 0;
    ventana_->ListProveedores_BeforeLabelEdit(cancelar);
    if (cancelar) return nullptr;
    return QStyledItemDelegate::createEditor(parent, option, index);
  }

 private:
  frmOCMailing* ventana_;
};

}  // namespace

// ---------------------------------------------------------------- CampoTexto

QWidget* CampoTexto::Control() const {
  return linea ? static_cast<QWidget*>(linea) : static_cast<QWidget*>(multilinea);
}

std::string CampoTexto::Text() const {
  if (linea) return linea->text().toStdString();
  if (multilinea) {
    QString t = multilinea->toPlainText();
    t.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return t.toStdString();
  }
  return "";
}

void CampoTexto::SetText(const std::string& texto) {
  QString t = Q(texto);
  if (linea) {
    linea->setText(t);
  } else if (multilinea) {
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    multilinea->setPlainText(t);
  }
}

// ---------------------------------------------------------------- construction

frmOCMailing::frmOCMailing(QWidget* parent) : QWidget(parent) {
  setObjectName("frmOCMailing");
  setWindowTitle(QString::fromUtf8(kTitulo));
  CrearControles();
  OrdenTabulacion();
  HojaDeEstiloPropia();
  resize(T(0, 0, kAnchoCliente, kAltoCliente).size());
  if (QScreen* pantalla = QGuiApplication::primaryScreen())
    move(pantalla->availableGeometry().center() - rect().center());
  // Key preview: the window sees the keys of every control first.
  for (QWidget* w : findChildren<QWidget*>())
    if (!qobject_cast<QMenu*>(w)) w->installEventFilter(this);
}

frmOCMailing::~frmOCMailing() = default;

void frmOCMailing::CrearControles() {
  auto boton = [this](const char* nombre, const char* texto, const char* icono, int left) {
    auto* b = new QToolButton(this);
    b->setObjectName(nombre);
    b->setText(QString::fromUtf8(texto));
    b->setIcon(IconoBoton(QString::fromLatin1(icono)));
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setGeometry(T(left, -15, 1005, 885));
    return b;
  };
  auto etiqueta = [](QWidget* padre, const char* nombre, const char* texto, QRect r) {
    auto* l = new QLabel(QString::fromUtf8(texto), padre);
    l->setObjectName(nombre);
    l->setGeometry(r);
    return l;
  };

  Frame2 = new QGroupBox(this);
  Frame2->setObjectName("Frame2");
  Frame2->setGeometry(T(15, -90, 5370, 1170));

  cmdCargarProveedores = boton("cmdCargarProveedores", "&Cargar", "cargar", 5415);
  CmbVer = boton("CmbVer", "&Ver", "ver", 6405);
  CmdEnviar = boton("CmdEnviar", "&Enviar", "enviar", 7395);
  cmdConsultar = boton("cmdConsultar", "&Consultar", "consultar", 8385);
  CmdSalir = boton("CmdSalir", "&Salir", "salir", 9375);
  // Until the dispatch run and the preview are installed there is nothing to run.
  CmbVer->setEnabled(false);
  CmdEnviar->setEnabled(false);

  chkConEnvioPendiente = new QCheckBox(QString::fromUtf8("&Con envio de mail pendiente"), this);
  chkConEnvioPendiente->setObjectName("chkConEnvioPendiente");
  chkConEnvioPendiente->setGeometry(T(5460, 915, 4425, 195));
  chkConEnvioPendiente->setChecked(true);

  Label2 = etiqueta(this, "Label2", "Proveedores con Ordenes de Compra Pendientes", T(60, 1110, 4980, 195));
  Label8 = etiqueta(this, "Label8", "", T(5460, 1140, 240, 195));
  Label8->setAutoFillBackground(true);
  Label9 = etiqueta(this, "Label9", "Los registros pintados ya fueron enviados por mail.",
                    T(5730, 1140, 4125, 195));

  ListProveedores = new QTreeView(this);
  ListProveedores->setObjectName("ListProveedores");
  ListProveedores->setGeometry(T(0, 1335, 10365, 2655));
  ListProveedoresModelo = new ModeloProveedores(this);
  ListProveedores->setModel(ListProveedoresModelo);
  ListProveedores->setRootIsDecorated(false);
  ListProveedores->setItemsExpandable(false);
  ListProveedores->setUniformRowHeights(true);  // keeps 100,000 rows fluid
  ListProveedores->setAllColumnsShowFocus(true);
  ListProveedores->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListProveedores->setSelectionMode(QAbstractItemView::SingleSelection);
  ListProveedores->setIconSize(QSize(16, 16));
  ListProveedores->setItemDelegate(new DelegadoSinEdicion(this));
  ListProveedores->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  ListProveedores->header()->setSectionsClickable(true);
  ListProveedores->header()->setSectionsMovable(false);
  ListProveedores->header()->setStretchLastSection(false);
  ListProveedores->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  MEN = new QMenu(QStringLiteral("mENU"), this);
  MEN->setObjectName("MEN");
  SelectAll = MEN->addAction(QString::fromUtf8("Seleccionar Todos"));
  SelectAll->setObjectName("SelectAll");
  SelectAll->setCheckable(true);
  VerEntregas = MEN->addAction(QString::fromUtf8("Ver entregas"));
  VerEntregas->setObjectName("VerEntregas");

  BarraEntregas = new QFrame(this);
  BarraEntregas->setObjectName("BarraEntregas");
  BarraEntregas->setAutoFillBackground(true);
  auto* columna = new QVBoxLayout(BarraEntregas);
  columna->setContentsMargins(4, 2, 4, 2);
  columna->setSpacing(1);
  auto leyenda = [&](const char* muestra, const char* nombre, const char* texto) {
    auto* fila = new QHBoxLayout;
    fila->setSpacing(4);
    auto* m = new QLabel(BarraEntregas);
    m->setObjectName(muestra);
    m->setAutoFillBackground(true);
    m->setFixedSize(ui::TwipsAPixeles(240), ui::TwipsAPixeles(195));
    auto* l = new QLabel(QString::fromUtf8(texto), BarraEntregas);
    l->setObjectName(nombre);
    fila->addWidget(m);
    fila->addWidget(l, 1);
    columna->addLayout(fila);
    return l;
  };
  LeyendaEnCola =
      leyenda("MuestraEnCola", "LeyendaEnCola", "En amarillo: el mail espera en la cola de envío.");
  LeyendaFallida = leyenda("MuestraFallida", "LeyendaFallida", "En rojo: el mail no se pudo enviar.");
  EstadoCola = new QLabel(BarraEntregas);
  EstadoCola->setObjectName("EstadoCola");
  columna->addWidget(EstadoCola);
  BarraEntregas->hide();

  Frame3 = new QGroupBox(this);
  Frame3->setObjectName("Frame3");
  Frame3->setGeometry(T(15, 3975, 10350, 1680));

  struct Definicion {
    int index;
    const char* nombre;
    const char* consulta;
    int maxLength;
    QGroupBox* marco;
    QRect r;
    bool multilinea;
  };
  const Definicion campos[] = {
      {0, "ProvDesde", "vt_Proveedores", 20, Frame2, T(1110, 180, 1380, 285), false},
      {1, "usuario", "ta_usuarios", 50, Frame2, T(1110, 465, 3450, 285), false},
      {2, "ProvHasta", "vt_Proveedores", 20, Frame2, T(3165, 180, 1395, 285), false},
      {3, "FechaD", "Fecha", 10, Frame2, T(1110, 765, 1200, 285), false},
      {4, "FechaH", "Fecha", 10, Frame2, T(2925, 765, 1200, 285), false},
      {5, "ENCABEZADO", "", 254, Frame3, T(1155, 120, 9150, 285), true},
      {6, "PIEDEPAGINA", "", 254, Frame3, T(1155, 420, 9165, 1200), true},
  };
  for (const Definicion& d : campos) {
    CampoTexto& c = txtFields[static_cast<size_t>(d.index)];
    c.Index = d.index;
    c.Nombre = d.nombre;
    c.Consulta = d.consulta;
    c.MaxLength = d.maxLength;
    if (d.multilinea) {
      auto* t = new QPlainTextEdit(d.marco);
      t->setTabChangesFocus(true);
      t->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      // As the suite's multi-line boxes: no scroll bars, the text right at the border.
      t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      t->document()->setDocumentMargin(1);
      const int maximo = d.maxLength;
      connect(t, &QPlainTextEdit::textChanged, t, [t, maximo] {
        const QString texto = t->toPlainText();
        if (texto.size() <= maximo) return;
        QTextCursor cursor = t->textCursor();
        const int pos = std::min<int>(cursor.position(), maximo);
        t->setPlainText(texto.left(maximo));
        cursor = t->textCursor();
        cursor.setPosition(pos);
        t->setTextCursor(cursor);
      });
      c.multilinea = t;
    } else {
      auto* t = new QLineEdit(d.marco);
      t->setMaxLength(d.maxLength);
      c.linea = t;
    }
    QWidget* w = c.Control();
    w->setObjectName("txtFields");
    w->setProperty("Index", d.index);
    w->setProperty("Nombre", QString::fromLatin1(d.nombre));
    w->setGeometry(d.r);
  }

  Label5 = etiqueta(Frame2, "Label5", "Proveedor:", T(255, 240, 855, 195));
  Label6 = etiqueta(Frame2, "Label6", "hasta", T(2595, 240, 570, 195));
  Label7 = etiqueta(Frame2, "Label7", "Usuario:", T(255, 525, 855, 195));
  Label3 = etiqueta(Frame2, "Label3", "Fecha", T(240, 810, 870, 195));
  Label4 = etiqueta(Frame2, "Label4", "hasta", T(2400, 825, 525, 195));
  Label1[7] = etiqueta(Frame3, "Label1", "Asunto", T(15, 120, 1155, 255));
  Label1[8] = etiqueta(Frame3, "Label1", "Mensaje", T(15, 420, 1155, 255));
  for (auto& [indice, l] : Label1) {
    l->setProperty("Index", indice);
    l->setAutoFillBackground(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }

  // Routing of the controls' events into the handlers; failures stop at the handler.
  connect(cmdCargarProveedores, &QToolButton::clicked, this,
          [this] { Atender("cmdCargarProveedores_Click", [this] { cmdCargarProveedores_Click(); }); });
  connect(CmbVer, &QToolButton::clicked, this, [this] { CmbVer_Click(); });
  connect(CmdEnviar, &QToolButton::clicked, this, [this] { CmdEnviar_Click(); });
  connect(cmdConsultar, &QToolButton::clicked, this,
          [this] { Atender("cmdConsultar_Click", [this] { cmdConsultar_Click(); }); });
  connect(CmdSalir, &QToolButton::clicked, this,
          [this] { Atender("CmdSalir_Click", [this] { CmdSalir_Click(); }); });
  connect(chkConEnvioPendiente, &QCheckBox::toggled, this,
          [this] { Atender("chkConEnvioPendiente_Click", [this] { chkConEnvioPendiente_Click(); }); });
  connect(SelectAll, &QAction::triggered, this,
          [this] { Atender("SelectAll_Click", [this] { SelectAll_Click(); }); });
  connect(VerEntregas, &QAction::triggered, this,
          [this] { Atender("VerEntregas_Click", [this] { ListProveedores_DblClick(filaMenu_); }); });
  connect(ListProveedores, &QTreeView::doubleClicked, this, [this](const QModelIndex& i) {
    Atender("ListProveedores_DblClick", [this, i] { ListProveedores_DblClick(i.row()); });
  });
  connect(ListProveedores->header(), &QHeaderView::sectionClicked, this, [this](int seccion) {
    Atender("ListProveedores_ColumnClick", [this, seccion] { ListProveedores_ColumnClick(seccion + 1); });
  });
}

void frmOCMailing::OrdenTabulacion() {
  // Tab indices 0..16 of the layout; frames and labels take no focus.
  const std::vector<QWidget*> orden = {txtFields[0].Control(),
                                       txtFields[2].Control(),
                                       txtFields[1].Control(),
                                       txtFields[3].Control(),
                                       txtFields[4].Control(),
                                       cmdCargarProveedores,
                                       CmbVer,
                                       CmdEnviar,
                                       cmdConsultar,
                                       CmdSalir,
                                       chkConEnvioPendiente,
                                       ListProveedores,
                                       txtFields[5].Control(),
                                       txtFields[6].Control()};
  for (size_t i = 0; i + 1 < orden.size(); ++i) setTabOrder(orden[i], orden[i + 1]);
}

// Fonts and colours of the layout. Appended after the skin's sheet so they win over it:
// the layout is drawn in twips for these fonts.
void frmOCMailing::HojaDeEstiloPropia() {
  static const QString kMarca = QStringLiteral("/* frmOCMailing */");
  QString hoja = styleSheet();
  const int previa = hoja.indexOf(kMarca);
  if (previa >= 0) hoja.truncate(previa);
  const QString sansSerif = FamiliaCercana({"MS Sans Serif", "Microsoft Sans Serif", "Arial",
                                            "Liberation Sans", "DejaVu Sans Condensed", "DejaVu Sans"});
  const QString tahoma =
      FamiliaCercana({"Tahoma", "DejaVu Sans Condensed", "Verdana", "DejaVu Sans", "Liberation Sans"});
  hoja += kMarca +
          QStringLiteral(
              "\nQWidget#frmOCMailing, QWidget#frmOCMailing * { font-family: \"%1\"; font-size: 8.25pt; }"
              "\nQWidget#frmOCMailing QLabel#Label2 { font-family: \"%2\"; font-size: 8.25pt; }"
              "\nQWidget#frmOCMailing QLabel#Label1 { font-family: \"%2\"; font-size: 9pt; font-weight: bold;"
              " color: #ffffff; background: #808080; padding-left: 2px; }"
              "\nQWidget#frmOCMailing QLabel#Label8 { background: #0000ff; }"
              "\nQWidget#frmOCMailing QFrame#BarraEntregas"
              " { background: #ffffff; border-top: 1px solid #808080; }"
              "\nQWidget#frmOCMailing QLabel#MuestraEnCola"
              " { background: #ffff80; border: 1px solid #808080; }"
              "\nQWidget#frmOCMailing QLabel#MuestraFallida { background: #ff0000; }"
              "\nQWidget#frmOCMailing QGroupBox#Frame2, QWidget#frmOCMailing QGroupBox#Frame3"
              " { margin: 0px; padding: 0px; }"
              "\nQWidget#frmOCMailing QLineEdit { padding: 0px 2px; }"
              "\nQWidget#frmOCMailing QAbstractScrollArea { margin: 0px; padding: 0px; }"
              "\nQWidget#frmOCMailing QPlainTextEdit { padding: 0px 1px; border-radius: 2px; }"
              "\nQWidget#frmOCMailing QToolButton { padding: 1px; }"
              "\nQWidget#frmOCMailing QHeaderView::section { padding: 2px 4px; }\n")
              .arg(sansSerif, tahoma);
  setStyleSheet(hoja);
  // A caption wider in the substitute font than in the original grows to its text (the
  // controls to its right stay on top of it).
  ensurePolished();
  for (QLabel* l : findChildren<QLabel*>()) {
    if (l->text().isEmpty() || l->objectName() == QLatin1String("Label1")) continue;
    l->ensurePolished();
    const int necesario = l->sizeHint().width();
    if (l->width() < necesario) l->resize(necesario, l->height());
    l->lower();
  }
}

// ---------------------------------------------------------------- guard

void frmOCMailing::Atender(const char* rutina, const std::function<void()>& manejador) {
  try {
    manejador();
  } catch (const ui::FinDelPrograma&) {
    throw;  // only the scripted operator of the tests ends the program by throwing
  } catch (const ErrorEjecucion& e) {
    gFunciones().MostrarError(e, int{ui::vbOKOnly} + int{ui::vbCritical}, rutina);
  } catch (const std::exception& e) {
    gFunciones().MostrarError(ErrorEjecucion(kErrorInterno, e.what(), rutina),
                              int{ui::vbOKOnly} + int{ui::vbCritical}, rutina);
  } catch (...) {
    gFunciones().MostrarError(ErrorEjecucion(kErrorInterno, "Error inesperado", rutina),
                              int{ui::vbOKOnly} + int{ui::vbCritical}, rutina);
  }
}

// ---------------------------------------------------------------- start-up

void frmOCMailing::Form_Load() {
  basic::EjecutarPasos(
      {
          Paso([this] {
            std::string connString;
            CargarParametros(false, LineaComando, connString, 3);
          }),
          Paso([this] { AsignarIcono(this); }),
          Paso([this] {
            AplicarSkin(this);
            HojaDeEstiloPropia();
          }),
          Paso([this] {
            TablaActiva = kTablaPendientes;
            AbrirRecordset(TablaActiva);
          }),
          Paso([this] { gFunciones().AbrirFormulario(this, false); }),
          Paso([this] { Encolumnar(); }),
          Paso([this] { chkConEnvioPendiente->setChecked(true); }),
          Paso([this] { CargarProveedores(); }),
          Paso([this] {
            // While the window stays open, the spool is retried on the operator's period.
            const int minutos =
                LeerRutasCorreo(os::CarpetaAplicacion(), os::sistema().Entorno("TSPOST_INI").value_or(""))
                    .minutosRevision;
            if (!revision_) {
              revision_ = new QTimer(this);
              connect(revision_, &QTimer::timeout, this, [this] { RevisarCola(); });
            }
            revision_->stop();
            if (minutos > 0) revision_->start(minutos * 60 * 1000);
          }),
      },
      AvisoDe("Form_Load"));
}

bool frmOCMailing::RevisarCola() {
  if (enviando_ || cerrando_ || QApplication::activeModalWidget() || QApplication::activePopupWidget())
    return false;
  const bool reintento = ReintentarEnSegundoPlano(os::CarpetaAplicacion());
  RevisarBuzonEnSegundoPlano(os::CarpetaAplicacion());
  return reintento;
}

void frmOCMailing::AbrirRecordset(const std::string& lTablaActiva) {
  basic::EjecutarPasos(
      {
          Paso([this] {
            if (!RsTablaActiva) RsTablaActiva = std::make_unique<ado::Recordset>();
            // A probe opened before (a second call) is replaced.
            if (RsTablaActiva->State() != ado::adStateClosed) RsTablaActiva->Close();
          }),
          Paso([this, &lTablaActiva] {
            DB_Dll& db = gDB();
            db.AbrirRecordset("SELECT TOP 1 * FROM " + lTablaActiva, *RsTablaActiva, db.gCnn.get(),
                              ado::adOpenDynamic, ado::adLockOptimistic, -1, true);
          }),
      },
      AvisoDe("Abrir Recordser"));
}

void frmOCMailing::Encolumnar() {
  struct Columna {
    const char* encabezado;
    int equis;
  };
  static const Columna columnas[kColumnasPendientes] = {
      {"Cuenta", 15},    {"TC", 5},        {"IdComprobante", 15}, {"Razon Social", 25}, {"Domicilio", 15},
      {"Localidad", 15}, {"Telefono", 15}, {"E-Mail", 15},        {"Enviado", 15}};
  ensurePolished();
  const QFontMetrics medidas(font());
  ListProveedoresModelo->FijarColumnas({});
  QStringList encabezados;
  for (const Columna& c : columnas) encabezados << QString::fromUtf8(c.encabezado);
  ListProveedoresModelo->FijarColumnas(encabezados);
  for (int i = 0; i < kColumnasPendientes; ++i)
    ListProveedores->setColumnWidth(i, medidas.horizontalAdvance(QString(columnas[i].equis, 'X')));
}

void frmOCMailing::CargarProveedores() {
  FiltrosPendientes filtros;
  filtros.provDesde = Trim(TextoCampo("ProvDesde"));
  filtros.provHasta = Trim(TextoCampo("ProvHasta"));
  filtros.usuario = Trim(TextoCampo("Usuario"));
  filtros.fechaDesde = Trim(TextoCampo("FechaD"));
  filtros.fechaHasta = Trim(TextoCampo("FechaH"));
  std::string sentencia = ConsultaPendientes(filtros, chkConEnvioPendiente->isChecked());
  // Orders claimed by a run of this PC that died, and orders whose mail failed for good,
  // are pending again before the list is read.
  SaldarReclamosDe(os::CarpetaAplicacion());
  Entregas = EntregasOrdenes::Leer(ArchivoEntregasDe(os::CarpetaAplicacion()));
  DevolverFallidas(os::CarpetaAplicacion(), Entregas);

  ListProveedoresModelo->Limpiar();
  ItemActual = -1;
  DB_Dll& db = gDB();
  ado::Recordset rs;
  db.AbrirRecordset(sentencia, rs, nullptr, ado::adOpenForwardOnly, ado::adLockReadOnly, -1, true);
  std::vector<FilaPendiente> filas;
  std::vector<std::string> repetidas;
  LeerPendientes(rs, filas, repetidas);
  db.CierraRecordset(rs);
  ListProveedoresModelo->Cargar(std::move(filas));
  ItemActual = CantidadFilas() - 1;
  CargarEntregas();

  if (!repetidas.empty()) {
    std::string claves;
    for (size_t i = 0; i < repetidas.size() && i < 5; ++i) claves += (i ? ", " : "") + repetidas[i];
    if (repetidas.size() > 5) claves += ", ...";
    ui::operador().MsgBox("La consulta devolvió " + std::to_string(repetidas.size()) +
                              " orden(es) repetida(s) (mismo proveedor y comprobante); se "
                              "muestran una sola vez: " +
                              claves,
                          int{ui::vbOKOnly} + int{ui::vbExclamation}, "Aviso al Usuario");
  }
}

void frmOCMailing::CargarEntregas() {
  ListProveedoresModelo->FijarEntregas(Entregas);
  const std::string estado = TextoEstadoCola(Entregas);
  EstadoCola->setText(Q(estado));
  EstadoCola->setVisible(!estado.empty());
  bool marcas = false;
  for (const FilaPendiente& f : ListProveedoresModelo->Lista().filas)
    marcas = marcas || f.entrega == EstadoEntrega::Pendiente || f.entrega == EstadoEntrega::Fallido;
  BarraEntregas->setVisible(marcas || !estado.empty());
  UbicarBarraEntregas();
}

void frmOCMailing::UbicarBarraEntregas() {
  if (BarraEntregas->isHidden()) return;
  const int alto = BarraEntregas->sizeHint().height();
  const QRect lista = ListProveedores->geometry();
  BarraEntregas->setGeometry(lista.x(), lista.y() + std::max(0, lista.height() - alto), lista.width(),
                             std::min(alto, lista.height()));
  BarraEntregas->raise();
}

bool frmOCMailing::RecargarLista() {
  bool ok = false;
  Atender("CargarProveedores", [this, &ok] {
    CargarProveedores();
    ok = true;
  });
  return ok;
}

// ---------------------------------------------------------------- handlers

void frmOCMailing::txtFields_GotFocus(int Index) {
  if (Index < 0 || Index >= static_cast<int>(txtFields.size())) return;
  CampoActual = &txtFields[static_cast<size_t>(Index)];
  cmdConsultar->setEnabled(!CampoActual->Consulta.empty());
}

void frmOCMailing::cmdConsultar_Click() {
  if (enviando_) return;
  basic::EjecutarIgnorando({
      P([this] {
        if (!CampoActual)
          throw ErrorEjecucion(kErrorObjetoNoEstablecido, "Variable de objeto no establecida");
        const std::string tipo = CampoActual->Consulta;
        const bool proveedores = basic::IgualesSinCaso(tipo, "vt_proveedores");
        if (proveedores || basic::IgualesSinCaso(tipo, "ta_usuarios")) {
          Lib_ClsCons3& consultas = gClsCons3();
          consultas.CampoDevuelto = proveedores ? "Codigo" : "Nombre";
          RefColeccion ninguna;
          std::string campoBusqueda, condicion;
          consultas.ConsultaSearch(proveedores ? "vt_proveedores" : "ta_usuarios", ninguna, "", campoBusqueda,
                                   condicion, "", false, "");
          CampoActual->SetText(consultas.ValorDevuelto.Texto());
        } else if (basic::IgualesSinCaso(tipo, "fecha")) {
          CampoActual->SetText(gFunciones().ElegirFecha());
        }
      }),
      P([this] {
        if (!CampoActual)
          throw ErrorEjecucion(kErrorObjetoNoEstablecido, "Variable de objeto no establecida");
        int tecla = vbKeyReturn;
        txtFields_KeyDown(CampoActual->Index, tecla, 0);
      }),
  });
}

void frmOCMailing::Marcar(int16_t Marca) { ListProveedoresModelo->MarcarTodas(Marca != 0); }

void frmOCMailing::SelectAll_Click() {
  MarcaTodos = MarcaTodos ? 0 : -1;
  Marcar(MarcaTodos);
  SelectAll->setChecked(MarcaTodos != 0);
}

void frmOCMailing::ListProveedores_MouseDown(int Button, int, int x, int y) {
  if (Button != vbRightButton) return;
  filaMenu_ = ListProveedores->indexAt(QPoint(x, y)).row();
  VerEntregas->setEnabled(
      filaMenu_ >= 0 && filaMenu_ < CantidadFilas() &&
      !Entregas.Lineas(Fila(filaMenu_).Texto(), Fila(filaMenu_).SubItem(colIdComprobante)).empty());
  MEN->popup(ListProveedores->viewport()->mapToGlobal(QPoint(x, y)));
}

void frmOCMailing::ListProveedores_ColumnClick(int ColumnHeaderIndex) {
  basic::EjecutarIgnorando({P([this, ColumnHeaderIndex] {
    const ListaPendientes& l = ListProveedoresModelo->Lista();
    const int clave = ColumnHeaderIndex - 1;
    const int orden = l.SortOrder == ListaPendientes::lvwAscending ? ListaPendientes::lvwDescending
                                                                   : ListaPendientes::lvwAscending;
    ListProveedoresModelo->FijarOrden(clave, orden, true);
    QHeaderView* h = ListProveedores->header();
    h->setSortIndicatorShown(true);
    h->setSortIndicator(clave,
                        orden == ListaPendientes::lvwDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
  })});
}

void frmOCMailing::ListProveedores_DblClick(int fila) {
  if (fila < 0 || fila >= CantidadFilas()) return;
  const FilaPendiente& f = Fila(fila);
  const auto lineas = Entregas.Lineas(f.Texto(), f.SubItem(colIdComprobante));
  if (lineas.empty()) return;
  ui::operador().MsgBox(TextoEntregas(lineas), int{ui::vbOKOnly} + int{ui::vbInformation},
                        "Entregas de la orden " + f.Texto() + " " + f.SubItem(colIdComprobante));
}

void frmOCMailing::ListProveedores_BeforeLabelEdit(int& Cancel) { Cancel = 1; }

void frmOCMailing::ListProveedores_AfterLabelEdit(int& Cancel, std::string&) { Cancel = 1; }

void frmOCMailing::chkConEnvioPendiente_Click() {
  if (enviando_) return;
  RecargarLista();
}

void frmOCMailing::cmdCargarProveedores_Click() {
  if (enviando_) return;
  RecargarLista();
}

void frmOCMailing::CmbVer_Click() {
  if (enviando_) return;
  Atender("CmbVer_Click", [this] {
    if (accionVer_) accionVer_(*this);
  });
}

void frmOCMailing::CmdEnviar_Click() {
  if (enviando_) return;  // a run waiting for its mail program lets events in
  Atender("CmdEnviar_Click", [this] {
    if (accionEnviar_) accionEnviar_(*this);
  });
}

void frmOCMailing::CmdSalir_Click() {
  if (enviando_) return;  // not in the middle of a run
  int cancelar = 0;
  Form_Unload(cancelar);
}

void frmOCMailing::Form_KeyDown(int& KeyCode, int) {
  switch (KeyCode) {
    case vbKeyEscape: CmdSalir_Click(); break;
    case vbKeyF5: cmdConsultar_Click(); break;
    default: break;
  }
}

void frmOCMailing::txtFields_KeyDown(int Index, int& KeyCode, int Shift) {
  const bool valido = Index >= 0 && Index < static_cast<int>(txtFields.size());
  // Ctrl+Enter or Shift+Enter in a multi-line box is a line break; plain Enter moves on.
  if (valido && KeyCode == vbKeyReturn && (Shift & (vbShiftMask | vbCtrlMask))) {
    if (QPlainTextEdit* caja = txtFields[static_cast<size_t>(Index)].multilinea) {
      caja->insertPlainText(QStringLiteral("\n"));
      KeyCode = 0;
      return;
    }
  }
  if (gFormulario().TeclaAbajo(KeyCode) && valido)
    ui::MoverFocoSiguiente(txtFields[static_cast<size_t>(Index)].Control());
}

void frmOCMailing::txtFields_KeyPress(int Index, int& KeyAscii) {
  if (Index < 0 || Index >= static_cast<int>(txtFields.size())) return;
  gFormulario().TeclaPresionada(txtFields[static_cast<size_t>(Index)].Text(), KeyAscii);
  if (KeyAscii == vbKeyReturn) KeyAscii = 0;
}

void frmOCMailing::Form_Resize() {
  int anchoLista = 0, altoLista = 0, anchoFrame3 = 0;
  auto valido = [](int v) {
    if (v < 0) throw ErrorEjecucion(kErrorValorPropiedad, "El valor de la propiedad no es válido");
    return v;
  };
  auto ancho = [&](QWidget* w, int twips) { w->resize(ui::TwipsAPixeles(valido(twips)), w->height()); };
  basic::EjecutarIgnorando({
      P([&] {
        anchoLista = AnchoTwips() - 100;
        ancho(ListProveedores, anchoLista);
      }),
      P([&] {
        altoLista = AltoTwips() - kFrame2Alto - kFrame3Alto - 800;
        ListProveedores->resize(ListProveedores->width(), ui::TwipsAPixeles(valido(altoLista)));
      }),
      P([&] { Frame3->move(Frame3->x(), ui::TwipsAPixeles(valido(kListaTop + altoLista))); }),
      P([&] {
        anchoFrame3 = AnchoTwips() - 150;
        ancho(Frame3, anchoFrame3);
      }),
      P([&] { ancho(Campo("encabezado")->Control(), anchoFrame3 - 1200); }),
      P([&] { ancho(Campo("piedepagina")->Control(), anchoFrame3 - 1200); }),
  });
}

void frmOCMailing::Form_Unload(int&) {
  cerrando_ = true;
  basic::EjecutarPasos(
      {
          Paso([this] { gFunciones().CerrarFormulario(this, ""); }),
          Paso([] { CerrarSistema(); }),
          Paso([this] { hide(); }),
          // The program's reference to the window is main's, which ends with the program.
          Paso([] { ui::operador().FinPrograma(0); }),
      },
      AvisoDe("Form_Unload"));
}

// ---------------------------------------------------------------- dispatch interface

void frmOCMailing::FijarAccionEnviar(Accion accion) {
  accionEnviar_ = std::move(accion);
  CmdEnviar->setEnabled(static_cast<bool>(accionEnviar_));
}

void frmOCMailing::FijarAccionVer(Accion accion) {
  accionVer_ = std::move(accion);
  CmbVer->setEnabled(static_cast<bool>(accionVer_));
}

frmOCMailing::EnvioEnCurso::EnvioEnCurso(frmOCMailing& frm) : frm_(frm) {
  frm_.enviando_ = true;
  QWidget* foco = QApplication::focusWidget();
  if (foco && foco->window() == &frm_) foco_ = foco;
  // The window itself stays enabled: the operator's message boxes have it as parent.
  for (QWidget* w : std::initializer_list<QWidget*>{
           frm_.Frame2, frm_.Frame3, frm_.cmdCargarProveedores, frm_.CmbVer, frm_.CmdEnviar,
           frm_.cmdConsultar, frm_.CmdSalir, frm_.chkConEnvioPendiente, frm_.ListProveedores}) {
    controles_.emplace_back(w, w->isEnabled());
    w->setEnabled(false);
  }
}

frmOCMailing::EnvioEnCurso::~EnvioEnCurso() {
  for (auto& [w, habilitado] : controles_)
    if (w) w->setEnabled(habilitado);
  frm_.enviando_ = false;
  if (foco_ && foco_->isEnabled() && foco_->isVisible()) foco_->setFocus(Qt::OtherFocusReason);
}

int frmOCMailing::CantidadFilas() const { return ListProveedoresModelo->Lista().Cantidad(); }

const FilaPendiente& frmOCMailing::Fila(int indice) const {
  return ListProveedoresModelo->Lista().filas.at(static_cast<size_t>(indice));
}

bool frmOCMailing::FilaMarcada(int indice) const { return Fila(indice).marcada; }

void frmOCMailing::MarcarFila(int indice, bool marca) { ListProveedoresModelo->MarcarFila(indice, marca); }

bool frmOCMailing::ConEnvioPendiente() const { return chkConEnvioPendiente->isChecked(); }

CampoTexto* frmOCMailing::Campo(const std::string& nombre) {
  std::vector<std::string> nombres;
  for (const CampoTexto& c : txtFields) nombres.push_back(c.Nombre);
  const int i = gFormulario().IndiceControl(nombre, nombres);
  if (i < 0) throw ErrorEjecucion(kErrorObjetoNoEstablecido, "No hay un campo " + nombre, "IndiceControl");
  return &txtFields[static_cast<size_t>(i)];
}

std::string frmOCMailing::TextoCampo(const std::string& nombre) { return Campo(nombre)->Text(); }

int frmOCMailing::AnchoTwips() const { return PixelesATwips(width()) + kMarcoAncho; }

int frmOCMailing::AltoTwips() const { return PixelesATwips(height()) + kMarcoAlto; }

// ---------------------------------------------------------------- Qt events

int frmOCMailing::IndiceDeControl(const QObject* objeto) const {
  for (const CampoTexto& c : txtFields)
    if (c.Control() == objeto) return c.Index;
  return -1;
}

bool frmOCMailing::eventFilter(QObject* objeto, QEvent* evento) {
  switch (evento->type()) {
    case QEvent::FocusIn: {
      const int i = IndiceDeControl(objeto);
      if (i >= 0) Atender("txtFields_GotFocus", [this, i] { txtFields_GotFocus(i); });
      break;
    }
    case QEvent::MouseButtonPress: {
      if (objeto != ListProveedores->viewport()) break;
      const auto* m = static_cast<QMouseEvent*>(evento);
      const int boton = m->button() == Qt::LeftButton     ? 1
                        : m->button() == Qt::RightButton  ? 2
                        : m->button() == Qt::MiddleButton ? 4
                                                          : 0;
      const QPoint p = m->position().toPoint();
      Atender("ListProveedores_MouseDown",
              [&] { ListProveedores_MouseDown(boton, Mayusculas(m->modifiers()), p.x(), p.y()); });
      break;
    }
    case QEvent::KeyPress: {
      const auto* k = static_cast<QKeyEvent*>(evento);
      int codigo = CodigoTecla(k);
      const int original = codigo;
      const int shift = Mayusculas(k->modifiers());
      Atender("Form_KeyDown", [&] { Form_KeyDown(codigo, shift); });
      if (original == vbKeyEscape || original == vbKeyF5) return true;
      const int i = IndiceDeControl(objeto);
      if (i < 0) break;
      bool consumida = false;
      Atender("txtFields_KeyDown", [&] { txtFields_KeyDown(i, codigo, shift); });
      if (original != 0 && codigo == 0) consumida = true;
      const QString texto = k->text();
      if (!texto.isEmpty()) {
        const int antes = texto.at(0).unicode();
        int caracter = antes;
        Atender("txtFields_KeyPress", [&] { txtFields_KeyPress(i, caracter); });
        if (caracter == 0) {
          consumida = true;
        } else if (caracter != antes) {  // the handler changed the character: type that one
          const QString otro(QChar(static_cast<char16_t>(caracter)));
          if (txtFields[static_cast<size_t>(i)].linea)
            txtFields[static_cast<size_t>(i)].linea->insert(otro);
          else
            txtFields[static_cast<size_t>(i)].multilinea->insertPlainText(otro);
          consumida = true;
        }
      }
      return consumida;
    }
    default: break;
  }
  return QWidget::eventFilter(objeto, evento);
}

void frmOCMailing::resizeEvent(QResizeEvent* evento) {
  QWidget::resizeEvent(evento);
  Atender("Form_Resize", [this] { Form_Resize(); });
  UbicarBarraEntregas();
}

void frmOCMailing::keyPressEvent(QKeyEvent* evento) {
  // Keys the controls left alone (or with no control focused).
  int codigo = CodigoTecla(evento);
  const int shift = Mayusculas(evento->modifiers());
  if (codigo == vbKeyEscape || codigo == vbKeyF5) {
    Atender("Form_KeyDown", [&] { Form_KeyDown(codigo, shift); });
    return;
  }
  QWidget::keyPressEvent(evento);
}

void frmOCMailing::closeEvent(QCloseEvent* evento) {
  if (enviando_) {  // not in the middle of a run
    evento->ignore();
    return;
  }
  if (cerrando_) {
    evento->accept();
    return;
  }
  int cancelar = 0;
  Atender("Form_Unload", [this, &cancelar] { Form_Unload(cancelar); });
  if (cancelar)
    evento->ignore();
  else
    evento->accept();
}
