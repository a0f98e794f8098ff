#pragma once
// frmAcceso, "Control de Acceso": the operator chooses, tests and registers the server,
// database, user and password of the main connection. OpenServerADODB loads it through
// the factory that InstalarVentanaAccesoQt installs, shows it modally and reads it back.
//
// Buttons and list events are public slots so tests drive the window without a modal loop;
// every control carries its name as objectName ("TxtServidor", "lstBases"...).
#include <QDialog>
#include <string>

#include "connection/bases.h"
#include "data/ventana_acceso.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class frmAcceso : public QDialog, public VentanaAcceso {
  Q_OBJECT
 public:
  explicit frmAcceso(QWidget* parent = nullptr);
  ~frmAcceso() override;

  // VentanaAcceso. TxtServidor is the server as a connection names it: the box's text with
  // the port of TxtPuerto (see ServidorConPuerto); TextoServidor is the box's text.
  std::string TxtServidor() const override;
  void SetTxtServidor(const std::string&) override;
  std::string TxtDbName() const override;
  void SetTxtDbName(const std::string&) override;
  std::string TxtUserId() const override;
  void SetTxtUserId(const std::string&) override;
  std::string TxtUserPassword() const override;
  void SetTxtUserPassword(const std::string&) override;
  int CboPlataformaDB() const override;
  void SetCboPlataformaDB(int) override;
  bool Aceptar() const override { return aceptar_; }
  void Ocultar() override { hide(); }
  void EjecutarModal() override { exec(); }

  std::string TxtPuerto() const;
  std::string TextoServidor() const;

  // Window state: the BASES.TXT path kept by llenarlist and the fields of the last line
  // found by DatosBase (password decoded).
  const std::string& RutaArchivoBases() const { return rutaBases_; }
  const RegistroBases& DatosLeidos() const { return datos_; }

  // (Re)fills lstBases from BASES.TXT.
  void llenarlist();
  // Keeps the fields of the line whose trimmed key equals the trimmed Nombre.
  void DatosBase(const std::string& Nombre);
  // Puts the connection selected in lstBases into the text boxes.
  void AsignarDatosBase();
  // True when a connection with these values can be opened (on gDB's connection).
  bool ExisteBaseDeDatos(const std::string& Servidor, const std::string& Dbname, const std::string& Usuario,
                         const std::string& Password, const std::string& Proveedor);
  // Writes the box's hint into it, selected, when the box is blank or holds the hint.
  void MensajeInicial(QLineEdit* ObjTxt);
  // Runs a command and waits for it, keeping the window responsive.
  bool EjecutarCmdRegDB(const std::string& Archivo, std::string& ErrDevuelto);

 public slots:
  void bcAceptar_Click();
  void bcCancelar_Click();
  void CmdRegistrar_Click();
  void CmdLineaComando_Click();
  void lstBases_Click();
  void lstBases_DblClick();
  void reject() override;  // Escape and the close box act as "Cancelar"

 protected:
  bool eventFilter(QObject* objeto, QEvent* evento) override;

 private:
  void Registrar();
  QLineEdit* NuevaCaja(const char* nombre, const char* ayuda, int left, int top, int width);

  QLabel* lblDatos_ = nullptr;
  QLabel* lblRegistradas_ = nullptr;
  QLineEdit* txtServidor_ = nullptr;
  QLineEdit* txtDbName_ = nullptr;
  QLineEdit* txtUserId_ = nullptr;
  QLineEdit* txtUserPassword_ = nullptr;
  QLineEdit* txtPuerto_ = nullptr;
  QComboBox* cboPlataformaDB_ = nullptr;
  QListWidget* lstBases_ = nullptr;
  QPushButton* bcAceptar_ = nullptr;
  QPushButton* bcCancelar_ = nullptr;
  QPushButton* cmdRegistrar_ = nullptr;
  QPushButton* cmdLineaComando_ = nullptr;

  bool aceptar_ = false;
  bool llenando_ = false;  // lstBases filled by code: no choice event
  bool escribiendoAyuda_ = false;
  std::string rutaBases_;
  RegistroBases datos_;
  std::string puerto_ = "1433";
};

// The server text a connection string takes: "host:port" (as BASES.TXT keeps it) becomes
// "host,port"; a port in the port box other than the default 1433 is added as ",port" to a
// server without one. Oracle (plataforma 1) is left as it stands.
std::string ServidorConPuerto(const std::string& servidor, const std::string& puerto, int plataforma);

// Installs the factory through which OpenServerADODB loads frmAcceso. Called at start.
void InstalarVentanaAccesoQt();
