#pragma once
// Lib_FrmCons3, "Consulta...": the list lookup window. Shows every row of a statement
// with one search box above each column; typing in a box moves to the first row that
// starts with the text, F5 narrows the statement itself. Accepting hands back the value
// of a named column (ValorDevuelto) or the values of the checked rows (Valores).
// With a blank SQL it reads nothing and serves as a plain chooser (option lists).
//
// Event handlers are public so tests drive the window without a modal loop; every
// control carries its name as objectName ("ListView1", "CmbSearch0", "CmdAceptar"...).
#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "lookup/coleccion.h"
#include "platform/basic/variant.h"
#include "platform/ui/operador.h"
#include "platform/ui/qt/teclas.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollBar;
class QTableView;
class ModeloFilas;
namespace ado {
class Recordset;
}

class Lib_FrmCons3 : public QDialog, public ui::VentanaModal {
  Q_OBJECT
 public:
  explicit Lib_FrmCons3(QWidget* parent = nullptr);
  ~Lib_FrmCons3() override;

  // ---- Properties set before loading and read after closing ----
  basic::Variant StkNivel1, StkNivel2, StkNivel3, StkNivel4;
  std::string MuestraStock;
  std::string SQL;
  std::string CampoDevuelto;
  RefColeccion CmpsDevueltos;
  bool CheckBoxes = false;
  std::string gConnString;
  basic::Variant ValorDevuelto = basic::Variant(std::string());
  std::string FiltroInicial;
  std::string CampoBusqueda;
  bool OrdenarPorLwv = false;
  RefColeccion Valores;
  RefColeccion Cantidades;
  bool UsaCantidades = false;
  std::string ValoresDefault;
  bool CfgUsaConsultaLIKE = false;
  bool GrabarCfg = false;
  bool UsarUDBC = false;

  // ui::VentanaModal
  std::string NombreVentana() const override { return "Lib_FrmCons3"; }
  void EjecutarModal() override;

  // ---- Routines ----
  // The load routine: reads the statement into columns and rows. Runs once on first use
  // (Cargar) and again on F5 and "&Nueva Busqueda".
  void Form_Load();
  // Loads the window when it has not been loaded yet.
  void Cargar();
  bool Cargada() const { return cargada_; }
  // Unload: column widths saved when GrabarCfg, UsarUDBC reset, the list emptied.
  void Form_Unload();
  void Leer(long Cdesde = 0, long Cuantas = 0);
  void Encolumnar();
  void CalcularAncho();
  // 1-based position of the first column whose header equals Columna (trimmed, without
  // regard to case); 0 when none.
  int IndiceColumna(const std::string& Columna) const;
  void CargarAnchos();
  void GuardarAnchos();
  // 1-based index of the first row whose column Clave (0 = row text) starts with
  // QueValor (both trimmed, without regard to case); 0 when none.
  long Busqueda(int Clave, const std::string& QueValor) const;

  // ---- Event handlers ----
  void CmdAceptar_Click();
  void CmdCancelar_Click();
  void CmdNueva_Click();
  void CmdNuevo_Click();
  void CmdTodos_Click();
  void CmbSearch_Change(int Index);
  void CmbSearch_GotFocus(int Index);
  void CmbSearch_LostFocus(int Index);
  // Returns true when the key was used (F5 and the keys that move to the list).
  bool CmbSearch_KeyDown(int Index, int KeyCode);
  // Key codes as the suite's list sees them (letters 65-90, digits 48-57, keypad 96-105,
  // F1 112...). Returns true when the key was used.
  bool ListView1_KeyDown(int KeyCode, int Shift);
  // The window's own keys (F12); true when consumed.
  bool Form_KeyDown(int KeyCode);
  void ListView1_ColumnClick(int columna);  // 0-based column
  void HScroll1_Change(int valor);
  void Form_Resize();

  // ---- Controls and state for the engine and tests ----
  ModeloFilas& Lista() const { return *modelo_; }
  QTableView* ListView1() const { return lista_; }
  QComboBox* CmbSearch(int i) const;
  int CantidadCajas() const { return static_cast<int>(cajas_.size()); }
  // The box's field name (its tag).
  std::string TagCaja(int i) const;
  QPushButton* CmdNueva() const { return cmdNueva_; }
  QScrollBar* HScroll1() const { return hscroll_; }
  QWidget* picFields() const { return picFields_; }
  int BuscadorActual() const { return buscadorActual_; }
  // Selected row, 1-based; 0 when none.
  int FilaSeleccionada() const;
  void SeleccionarFila(int fila);  // 1-based; 0 clears the selection
  // Column widths in twips (1-based column).
  int AnchoColumna(int c) const;
  void FijarAnchoColumna(int c, int twips);
  // Columns and rows for the chooser of the engine.
  void LimpiarColumnas();
  void AgregarColumna(const std::string& titulo, int anchoTwips);
  void AgregarFila(const std::string& texto, bool marcada);
  void MostrarCasillas(bool casillas);
  // Text width of a text in the window's font, in twips.
  int AnchoTexto(const std::string& texto) const;
  const std::string& SentenciaBase() const { return sentenciaBase_; }
  const std::string& SentenciaInicial() const { return sentenciaInicial_; }
  const std::string& ClausulaFinal() const { return clausulaFinal_; }
  const std::string& TablaActual() const { return tablaActual_; }
  bool EsArticulos() const { return esArticulos_; }

 public slots:
  void reject() override;  // Escape and the close box act as "&Cancelar"

 protected:
  bool eventFilter(QObject* objeto, QEvent* evento) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  QComboBox* NuevaCaja(int i);
  void UbicarCajas();
  void AplicarAnchos();
  std::string ValorColumna(int fila0, int c) const;  // c 1-based; 1 = row text
  int ColumnaCantidad() const;
  void Aceptar();
  void AgregarACaja(const std::string& caracter);

  ModeloFilas* modelo_ = nullptr;
  QLabel* label1_ = nullptr;
  QPushButton* cmdNuevo_ = nullptr;
  QPushButton* cmdTodos_ = nullptr;
  QWidget* marco_ = nullptr;  // clips picFields
  QWidget* picFields_ = nullptr;
  QTableView* lista_ = nullptr;
  QLabel* lblFieldName_ = nullptr;
  QScrollBar* hscroll_ = nullptr;
  QFrame* frame1_ = nullptr;
  QPushButton* cmdAceptar_ = nullptr;
  QPushButton* cmdCancelar_ = nullptr;
  QPushButton* cmdNueva_ = nullptr;
  std::vector<QComboBox*> cajas_;
  std::vector<std::string> tags_;
  std::vector<int> anchos_;  // twips, one per column

  std::unique_ptr<ado::Recordset> rs_;
  bool cargada_ = false;
  bool esArticulos_ = false;
  bool cambiandoCaja_ = false;
  int buscadorActual_ = 0;
  std::string sentenciaBase_;
  std::string sentenciaInicial_;
  std::string clausulaFinal_;
  std::string tablaActual_;
};

using ui::CodigoTecla;
