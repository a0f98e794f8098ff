#pragma once
// Lib_FrmCons3Tree, "Consulta...": the tree lookup window. Rows of a statement (code,
// description[, parent family]) become nodes "code - description" under the root "A";
// a node hangs under the node whose code is the longest prefix of its own (or, for the
// product families, under the family the statement names). Accepting looks the chosen
// code up in the table it belongs to.
//
// Handlers are public so tests drive the window without a modal loop; node keys are "A"
// followed by the code.
#include <QDialog>
#include <string>
#include <unordered_map>
#include <vector>

#include "lookup/coleccion.h"
#include "platform/basic/variant.h"
#include "platform/ui/operador.h"

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class Lib_FrmCons3Tree : public QDialog, public ui::VentanaModal {
  Q_OBJECT
 public:
  explicit Lib_FrmCons3Tree(QWidget* parent = nullptr);
  ~Lib_FrmCons3Tree() override;

  // ---- Properties ----
  std::string SQL;
  std::string CampoDevuelto;  // "IDFAMILIA", "IDPOSICION" or "CODIGO"
  bool CheckBoxes = false;
  basic::Variant ValorDevuelto = basic::Variant(std::string());
  RefColeccion Valores;

  std::string NombreVentana() const override { return "Lib_FrmCons3Tree"; }
  void EjecutarModal() override;

  // ---- Routines ----
  void Form_Load();
  void Cargar();
  bool Cargada() const { return cargada_; }
  void Form_Unload();
  void ArmarTreeVFamilias();
  void ArmarTreeVAutomatico();

  // ---- Handlers ----
  void CmdAceptar_Click();
  void CmdCancelar_Click();
  void CmdNueva_Click();
  void CmbSearch_Change();
  bool CmbSearch_KeyDown(int KeyCode);
  // A node's check box changed: the nodes below it, six levels down, follow it.
  void TreeV_NodeCheck(QTreeWidgetItem* nodo);

  // ---- Nodes, for the engine and tests ----
  QTreeWidget* TreeV() const { return arbol_; }
  QComboBox* CmbSearch() const { return caja_; }
  const std::string& TagCaja() const { return tag_; }
  // Keys in the order the nodes were added (the root "A" first).
  std::vector<std::string> Claves() const;
  QTreeWidgetItem* Nodo(const std::string& clave) const;
  // Key of a node's parent ("" for the root or an unknown key).
  std::string ClavePadre(const std::string& clave) const;
  std::string ClaveDe(QTreeWidgetItem* nodo) const;
  std::string TextoNodo(const std::string& clave) const;
  bool Marcado(const std::string& clave) const;
  // Sets a node's check as a click would (the subtree follows).
  void Marcar(const std::string& clave, bool marcado);
  std::string ClaveSeleccionada() const;
  void Seleccionar(const std::string& clave);
  const std::string& SentenciaBase() const { return sentenciaBase_; }
  const std::string& ClausulaFinal() const { return clausulaFinal_; }

 public slots:
  void reject() override;

 private:
  void Empezar();
  // Adds a node; raises ErrorEjecucion 35602 for a key already in the tree.
  QTreeWidgetItem* Agregar(QTreeWidgetItem* padre, const std::string& clave, const std::string& texto);
  // Rows of a statement through gDB; empty when it gave none (or failed, reported there).
  std::vector<std::vector<basic::Variant>> Filas(const std::string& sentencia);
  void Aceptado(const std::string& codigo, bool& encontrado);
  bool eventFilter(QObject* objeto, QEvent* evento) override;

  QTreeWidget* arbol_ = nullptr;
  QComboBox* caja_ = nullptr;
  QPushButton* cmdAceptar_ = nullptr;
  QPushButton* cmdCancelar_ = nullptr;
  QPushButton* cmdNueva_ = nullptr;
  std::unordered_map<std::string, QTreeWidgetItem*> nodos_;  // upper-case key
  std::vector<QTreeWidgetItem*> orden_;
  bool cargada_ = false;
  bool propagando_ = false;
  std::string tag_;
  std::string sentenciaBase_;
  std::string clausulaFinal_;
};
