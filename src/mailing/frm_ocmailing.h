#pragma once
// frmOCMailing, "Envio de mail a Proveedores por OC": the program's working window.
// Filters (supplier range, purchasing user, dates), the switch of orders never mailed, the
// checkable pending-order list, subject and message of the mails, and the buttons.
//
// Controls carry their names as members and as objectName. Event handlers are public
// methods named after the event so tests (and the dispatch run) call them directly; the
// Qt signals and the key/mouse filter only route into them. No exception leaves a Qt
// event: failures are shown to the operator and the window keeps running.
//
// Start: construct, Form_Load(), show(). "&Enviar" and "&Ver" run the actions installed
// with FijarAccionEnviar / FijarAccionVer (the dispatch run and the preview); without one
// the button stays disabled.
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mailing/estado_entregas.h"
#include "mailing/lista_pendientes.h"

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QToolButton;
class QTreeView;
class ModeloProveedores;

namespace ado {
class Recordset;
}

// One element of the text-box array txtFields.
struct CampoTexto {
  int Index = 0;
  std::string Nombre;    // field name, found without regard to case by IndiceControl
  std::string Consulta;  // lookup kind: "", "vt_Proveedores", "ta_usuarios" or "Fecha"
  int MaxLength = 0;
  QLineEdit* linea = nullptr;            // single-line fields
  QPlainTextEdit* multilinea = nullptr;  // "ENCABEZADO" and "PIEDEPAGINA"

  QWidget* Control() const;
  // The box's text; a multi-line box gives its lines joined by CR LF, as the suite's
  // multi-line text boxes hold them.
  std::string Text() const;
  void SetText(const std::string& texto);
};

class QTimer;

class frmOCMailing : public QWidget {
  Q_OBJECT
 public:
  using Accion = std::function<void(frmOCMailing&)>;

  explicit frmOCMailing(QWidget* parent = nullptr);
  ~frmOCMailing() override;

  // ---- Controls ----
  QGroupBox* Frame2 = nullptr;
  QGroupBox* Frame3 = nullptr;
  QToolButton* cmdCargarProveedores = nullptr;
  QToolButton* CmbVer = nullptr;
  QToolButton* CmdEnviar = nullptr;
  QToolButton* cmdConsultar = nullptr;
  QToolButton* CmdSalir = nullptr;
  QCheckBox* chkConEnvioPendiente = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label8 = nullptr;
  QLabel* Label9 = nullptr;
  std::map<int, QLabel*> Label1;  // indices 7 "Asunto" and 8 "Mensaje"
  QTreeView* ListProveedores = nullptr;
  ModeloProveedores* ListProveedoresModelo = nullptr;
  QMenu* MEN = nullptr;
  QAction* SelectAll = nullptr;
  QAction* VerEntregas = nullptr;  // "Ver entregas" of the row under the right click
  // The delivery bar over the foot of the list, shown while an order of the list or of the
  // journal waits or was given up: the legend of the marks and the status line.
  QFrame* BarraEntregas = nullptr;
  QLabel* LeyendaEnCola = nullptr;
  QLabel* LeyendaFallida = nullptr;
  QLabel* EstadoCola = nullptr;
  std::array<CampoTexto, 7> txtFields;

  // Launch line handed to CargarParametros; empty = the process command line.
  std::string LineaComando;

  // ---- Window state ----
  std::string TablaActiva;
  std::unique_ptr<ado::Recordset> RsTablaActiva;
  CampoTexto* CampoActual = nullptr;  // the text field that last had the focus
  int ItemActual = -1;                // row being filled during a load
  int16_t MarcaTodos = 0;             // select-all toggle, -1 / 0
  EntregasOrdenes Entregas;           // the mail program's journal, read with the list

  // ---- Start-up and loading ----
  // CargarParametros, icon and skin, the probe, window preparation, columns, switch,
  // first load; each step under the "Form_Load" prompt (4 retry, 5 next, else stop).
  void Form_Load();
  // One-row probe of the table, kept open in RsTablaActiva (prompt "Abrir Recordser").
  void AbrirRecordset(const std::string& lTablaActiva);
  void Encolumnar();
  // Shows the journal read by the load (Entregas): each row's delivery mark, the bar and its status line.
  void CargarEntregas();
  // Replaces the list with the pending orders the filters select, with their delivery marks. Failures go to
  // the caller (ErrorEjecucion), except a repeated order, which is left out and reported once.
  void CargarProveedores();
  // CargarProveedores for a click or the dispatch run: a failure is shown to the operator
  // and the window keeps running. Returns false when the load failed.
  bool RecargarLista();

  // ---- Event handlers ----
  void txtFields_GotFocus(int Index);
  void cmdConsultar_Click();
  void Marcar(int16_t Marca);
  void SelectAll_Click();
  // Button: 1 left, 2 right, 4 middle; x, y in the list's pixels.
  void ListProveedores_MouseDown(int Button, int Shift, int x, int y);
  // ColumnHeader index, 1 = "Cuenta".
  void ListProveedores_ColumnClick(int ColumnHeaderIndex);
  // Double click, or "Ver entregas" of the right click: the journal lines of that row's order.
  void ListProveedores_DblClick(int fila);
  void ListProveedores_BeforeLabelEdit(int& Cancel);
  void ListProveedores_AfterLabelEdit(int& Cancel, std::string& NewString);
  void chkConEnvioPendiente_Click();
  void cmdCargarProveedores_Click();
  void CmbVer_Click();
  void CmdEnviar_Click();
  void CmdSalir_Click();
  void Form_KeyDown(int& KeyCode, int Shift);
  void txtFields_KeyDown(int Index, int& KeyCode, int Shift);
  void txtFields_KeyPress(int Index, int& KeyAscii);
  void Form_Resize();
  void Form_Unload(int& Cancel);

  // ---- For the dispatch run and the preview ----
  // For as long as it lives, a dispatch run is on and the window, which the run keeps
  // painting, takes no input: filters, list, texts and buttons are disabled; "&Enviar",
  // "&Ver", "&Cargar", the lookup, "&Salir" and Escape do nothing and closing is refused.
  // Its end restores the controls and the focus, also when the run throws.
  class EnvioEnCurso {
   public:
    explicit EnvioEnCurso(frmOCMailing& frm);
    ~EnvioEnCurso();
    EnvioEnCurso(const EnvioEnCurso&) = delete;
    EnvioEnCurso& operator=(const EnvioEnCurso&) = delete;

   private:
    frmOCMailing& frm_;
    std::vector<std::pair<QPointer<QWidget>, bool>> controles_;  // with their previous state
    QPointer<QWidget> foco_;
  };
  bool Enviando() const { return enviando_; }
  // The window's retry of the spool ([CORREO] MinutosRevision, 0 none): starts `tspost
  // --reintentar` in the background when the spool holds mail (and `tspost --revisar` when
  // BuzonEntrada is set), never during a run or a modal window; the timer calls it. True
  // when a retry was started.
  bool RevisarCola();
  QTimer* TemporizadorRevision() const { return revision_; }

  void FijarAccionEnviar(Accion accion);
  void FijarAccionVer(Accion accion);
  // Rows in list order (as shown, after any sort).
  int CantidadFilas() const;
  const FilaPendiente& Fila(int indice) const;  // Texto(), SubItem(1..8), marcada, enviada
  bool FilaMarcada(int indice) const;
  void MarcarFila(int indice, bool marca);
  bool ConEnvioPendiente() const;
  // The text field of that name (IndiceControl, without regard to case); nullptr if none.
  CampoTexto* Campo(const std::string& nombre);
  std::string TextoCampo(const std::string& nombre);

  // Outer size of the window in twips, as the resize rules read it: the client size plus
  // the frame of the window the layout was drawn on (70 x 590 twips).
  int AnchoTwips() const;
  int AltoTwips() const;

  // Key preview and the list's mouse: routes Qt events into the handlers above.
  bool eventFilter(QObject* objeto, QEvent* evento) override;

 protected:
  void resizeEvent(QResizeEvent* evento) override;
  void keyPressEvent(QKeyEvent* evento) override;
  void closeEvent(QCloseEvent* evento) override;

 private:
  void CrearControles();
  void OrdenTabulacion();
  void HojaDeEstiloPropia();
  void UbicarBarraEntregas();
  int IndiceDeControl(const QObject* objeto) const;
  // Runs a handler; failures are shown with the routine's name and go no further.
  void Atender(const char* rutina, const std::function<void()>& manejador);

  Accion accionEnviar_;
  Accion accionVer_;
  bool cerrando_ = false;
  int filaMenu_ = -1;  // the row the context menu was opened on
  bool enviando_ = false;
  QTimer* revision_ = nullptr;
};
