#include "connection/frm_acceso.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <functional>
#include <vector>

#include "companion/companion.h"
#include "connection/acceso_directo.h"
#include "data/db_dll.h"
#include "global/errores.h"
#include "platform/ado/ado.h"
#include "platform/basic/pasos.h"
#include "platform/basic/texto.h"
#include "platform/os/procesos.h"
#include "platform/os/rutas.h"
#include "platform/ui/operador.h"

using basic::Paso;
using basic::Trim;

namespace {

QRect Twips(int left, int top, int width, int height) {
  return QRect(ui::TwipsAPixeles(left), ui::TwipsAPixeles(top), ui::TwipsAPixeles(width),
               ui::TwipsAPixeles(height));
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// Errors of the registration that only mean "go on with the next step".
bool ErrorTolerado(long n) { return n == 3704 || n == -2147023840L || n == 1056 || n == 440 || n == 20480; }

// The number as the classic Str gives it: a leading blank for positive numbers.
std::string Str(long n) { return n >= 0 ? " " + std::to_string(n) : std::to_string(n); }

// The main connection (gDB) as the registration uses it.
namespace principal {

bool Abierta() { return gDB().gOpenFlag != DB_Dll::Falso; }

// Closes gDB's connection when it is open.
void Cerrar() {
  DB_Dll& db = gDB();
  if (db.gCnn->State() == ado::adStateOpen) canalADO().Close(*db.gCnn);
}

void CerrarSiAbierta() {
  if (Abierta()) Cerrar();
}

// Opens gDB's connection on a connection text and closes it again.
void Probar(const std::string& cadena) {
  DB_Dll& db = gDB();
  canalADO().Open(*db.gCnn, cadena, "", "", -1);
  canalADO().Close(*db.gCnn);
}

// The typed login through OpenServerADODB; the outcome is in gOpenFlag.
void Abrir(const std::string& servidor, const std::string& usuario, const std::string& clave,
           const std::string& base) {
  DB_Dll& db = gDB();
  db.gServidor = servidor;
  db.gUsuario = usuario;
  db.gUserPassWord = clave;
  db.gDBName = base;
  db.OpenServerADODB(false, 3, "", true, true);
}

}  // namespace principal

}  // namespace

std::string ServidorConPuerto(const std::string& servidor, const std::string& puerto, int plataforma) {
  if (plataforma != 0) return servidor;  // Oracle names a data source, not a host
  std::string s = servidor;
  const size_t dos = s.find(':');
  if (dos != std::string::npos) return s.replace(dos, 1, ",");
  const std::string p = Trim(puerto);
  if (Trim(s).empty() || p.empty() || p == "1433" || s.find(',') != std::string::npos) return s;
  return s + "," + p;
}

namespace {

constexpr int kAnchoCliente = 7500;
constexpr int kAltoCliente = 3615;

}  // namespace

frmAcceso::frmAcceso(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAcceso");
  setWindowTitle("Control de Acceso");
  setModal(true);
  setFixedSize(ui::TwipsAPixeles(kAnchoCliente), ui::TwipsAPixeles(kAltoCliente));

  lblDatos_ = new QLabel("Complete los datos de conexion", this);
  lblDatos_->setObjectName("Label1_0");
  lblDatos_->setGeometry(Twips(120, 120, 3975, 255));
  QFont negrita = lblDatos_->font();
  negrita.setBold(true);
  lblDatos_->setFont(negrita);

  cboPlataformaDB_ = new QComboBox(this);
  cboPlataformaDB_->setObjectName("CboPlataformaDB");
  cboPlataformaDB_->addItems({"SQL Server", "ORACLE"});
  cboPlataformaDB_->setGeometry(Twips(120, 480, 3975, 315));

  txtServidor_ = NuevaCaja("TxtServidor", "ingrese el nombre del servidor e instancia", 120, 900, 3075);
  txtPuerto_ = NuevaCaja("TxtPuerto", "Ingrese el Puerto", 3255, 900, 840);
  txtPuerto_->setText(Q(puerto_));
  txtDbName_ = NuevaCaja("TxtDbName", "ingrese el nombre de la base de datos", 120, 1320, 3975);
  txtUserId_ = NuevaCaja("TxtUserId", "Ingrese el nombre de usuario", 120, 1740, 3975);
  txtUserPassword_ = NuevaCaja("TxtUserPassword", "Ingrese la contraseña", 120, 2160, 3975);
  txtUserPassword_->setEchoMode(QLineEdit::Password);

  lblRegistradas_ = new QLabel("Conexiones registradas", this);
  lblRegistradas_->setObjectName("Label1_1");
  lblRegistradas_->setGeometry(Twips(4335, 120, 3045, 255));
  lblRegistradas_->setFont(negrita);

  lstBases_ = new QListWidget(this);
  lstBases_->setObjectName("lstBases");
  lstBases_->setGeometry(Twips(4335, 480, 3045, 2475));

  auto boton = [this](const char* nombre, const char* texto, int left, int top, int width) {
    auto* b = new QPushButton(texto, this);
    b->setObjectName(nombre);
    b->setGeometry(Twips(left, top, width, 375));
    return b;
  };
  cmdRegistrar_ = boton("CmdRegistrar", "Registrar", 120, 3120, 1575);
  cmdLineaComando_ = boton("CmdLineaComando", "Crear Acceso Directo", 1815, 3120, 2280);
  bcAceptar_ = boton("bcAceptar", "Aceptar", 4335, 3120, 1455);
  bcCancelar_ = boton("bcCancelar", "Cancelar", 5925, 3120, 1455);
  bcAceptar_->setDefault(true);

  setTabOrder(cboPlataformaDB_, txtServidor_);
  setTabOrder(txtServidor_, txtPuerto_);
  setTabOrder(txtPuerto_, txtDbName_);
  setTabOrder(txtDbName_, txtUserId_);
  setTabOrder(txtUserId_, txtUserPassword_);
  setTabOrder(txtUserPassword_, cmdRegistrar_);
  setTabOrder(cmdRegistrar_, cmdLineaComando_);
  setTabOrder(cmdLineaComando_, lstBases_);
  setTabOrder(lstBases_, bcAceptar_);
  setTabOrder(bcAceptar_, bcCancelar_);

  connect(bcAceptar_, &QPushButton::clicked, this, &frmAcceso::bcAceptar_Click);
  connect(bcCancelar_, &QPushButton::clicked, this, &frmAcceso::bcCancelar_Click);
  connect(cmdRegistrar_, &QPushButton::clicked, this, &frmAcceso::CmdRegistrar_Click);
  connect(cmdLineaComando_, &QPushButton::clicked, this, &frmAcceso::CmdLineaComando_Click);
  connect(lstBases_, &QListWidget::itemClicked, this, &frmAcceso::lstBases_Click);
  connect(lstBases_, &QListWidget::itemDoubleClicked, this, &frmAcceso::lstBases_DblClick);
  // Moving through the list with the keys chooses the entry, as a click does.
  connect(lstBases_, &QListWidget::currentRowChanged, this, [this](int) {
    if (!llenando_) lstBases_Click();
  });
  for (QLineEdit* caja : {txtDbName_, txtServidor_, txtUserPassword_}) {
    connect(caja, &QLineEdit::textChanged, this, [this, caja] { MensajeInicial(caja); });
  }
  txtUserId_->installEventFilter(this);

  // Load: centre on the screen, fill the list, show the hints.
  if (QScreen* pantalla = QGuiApplication::primaryScreen()) {
    const QRect r = pantalla->geometry();
    move(r.left() + (r.width() - width()) / 2, r.top() + (r.height() - height()) / 2);
  }
  llenarlist();
  for (QLineEdit* caja : {txtUserId_, txtUserPassword_, txtDbName_, txtServidor_}) MensajeInicial(caja);
}

frmAcceso::~frmAcceso() = default;

QLineEdit* frmAcceso::NuevaCaja(const char* nombre, const char* ayuda, int left, int top, int width) {
  auto* caja = new QLineEdit(this);
  caja->setObjectName(nombre);
  caja->setToolTip(QString::fromUtf8(ayuda));
  caja->setGeometry(Twips(left, top, width, 315));
  return caja;
}

// --- VentanaAcceso ---------------------------------------------------------------------

std::string frmAcceso::TxtServidor() const {
  return ServidorConPuerto(TextoServidor(), TxtPuerto(), CboPlataformaDB());
}
std::string frmAcceso::TextoServidor() const { return S(txtServidor_->text()); }
void frmAcceso::SetTxtServidor(const std::string& s) { txtServidor_->setText(Q(s)); }
std::string frmAcceso::TxtDbName() const { return S(txtDbName_->text()); }
void frmAcceso::SetTxtDbName(const std::string& s) { txtDbName_->setText(Q(s)); }
std::string frmAcceso::TxtUserId() const { return S(txtUserId_->text()); }
void frmAcceso::SetTxtUserId(const std::string& s) { txtUserId_->setText(Q(s)); }
std::string frmAcceso::TxtUserPassword() const { return S(txtUserPassword_->text()); }
void frmAcceso::SetTxtUserPassword(const std::string& s) { txtUserPassword_->setText(Q(s)); }
int frmAcceso::CboPlataformaDB() const { return cboPlataformaDB_->currentIndex(); }
void frmAcceso::SetCboPlataformaDB(int i) { cboPlataformaDB_->setCurrentIndex(i); }
std::string frmAcceso::TxtPuerto() const { return S(txtPuerto_->text()); }

// --- Hints -------------------------------------------------------------------------------

void frmAcceso::MensajeInicial(QLineEdit* ObjTxt) {
  if (!ObjTxt || escribiendoAyuda_) return;
  QString ayuda;
  if (ObjTxt == txtUserId_) {
    ayuda = "Ingrese el usuario";
  } else if (ObjTxt == txtUserPassword_) {
    ayuda = "";
  } else if (ObjTxt == txtServidor_) {
    ayuda = "ingrese el nombre del servidor e instancia";
  } else {
    ayuda = "ingrese el nombre de la base de datos";
  }
  const QString texto = ObjTxt->text();
  if (texto.trimmed().isEmpty() || texto == ayuda) {
    escribiendoAyuda_ = true;
    if (texto != ayuda) ObjTxt->setText(ayuda);
    // Selected backwards so the start of the hint stays in view.
    ObjTxt->setSelection(static_cast<int>(ayuda.size()), -static_cast<int>(ayuda.size()));
    escribiendoAyuda_ = false;
  }
}

bool frmAcceso::eventFilter(QObject* objeto, QEvent* evento) {
  if (objeto == txtUserId_ && evento->type() == QEvent::FocusIn) {
    MensajeInicial(txtUserId_);
    // The focus change selects after this event; select the hint once it settled.
    QMetaObject::invokeMethod(
        this, [this] { MensajeInicial(txtUserId_); }, Qt::QueuedConnection);
  }
  return QDialog::eventFilter(objeto, evento);
}

// --- BASES.TXT -----------------------------------------------------------------------------

void frmAcceso::llenarlist() {
  std::vector<RegistroBases> registros;
  const std::vector<basic::FuncionPaso> pasos = {
      basic::P([&] {
        rutaBases_ = RutaBases();
        llenando_ = true;
        lstBases_->clear();
        llenando_ = false;
      }),
      basic::P([&] { registros = LeerBases(rutaBases_); }),
      basic::P([&] {
        llenando_ = true;
        for (const RegistroBases& r : registros) {
          if (!Trim(r.clave).empty()) lstBases_->addItem(Q(r.clave));
        }
        if (lstBases_->count() > 0) lstBases_->setCurrentRow(0);
        llenando_ = false;
      }),
  };
  basic::EjecutarPasos(pasos, [](const ErrorEjecucion& e) { return AvisoError(e, "FormLoad"); });
  llenando_ = false;
}

void frmAcceso::DatosBase(const std::string& Nombre) {
  if (rutaBases_.empty() || !os::ArchivoExisteSinCaso(rutaBases_)) return;
  try {
    const std::string buscado = Trim(Nombre);
    for (const RegistroBases& r : LeerBases(rutaBases_)) {
      if (Trim(r.clave) == buscado) {
        datos_ = r;
        datos_.password = gFunciones().Decodificar(r.password);
        break;
      }
    }
  } catch (const ErrorEjecucion& e) {
    gFunciones().MostrarError(e);
  }
}

void frmAcceso::AsignarDatosBase() {
  QListWidgetItem* elegido = lstBases_->currentItem();
  if (!elegido) return;
  DatosBase(Trim(S(elegido->text())));
  std::string servidor = datos_.servidor;
  const size_t dos = servidor.find(':');
  if (dos != std::string::npos) {
    puerto_ = servidor.substr(dos + 1);
    servidor = servidor.substr(0, dos);
  } else {
    puerto_ = "1433";
  }
  SetTxtServidor(servidor);
  SetTxtUserId("");
  SetTxtUserPassword("");
  SetTxtDbName(datos_.base);
  txtPuerto_->setText(Q(puerto_));
}

// --- Buttons and list ------------------------------------------------------------------------

void frmAcceso::bcAceptar_Click() {
  DatosBase(ClaveBases(TxtDbName(), TextoServidor()));
  aceptar_ = true;
  done(QDialog::Accepted);
}

void frmAcceso::bcCancelar_Click() {
  aceptar_ = false;
  done(QDialog::Rejected);
}

void frmAcceso::reject() { bcCancelar_Click(); }

void frmAcceso::lstBases_Click() { AsignarDatosBase(); }

void frmAcceso::lstBases_DblClick() {
  AsignarDatosBase();
  bcAceptar_Click();
}

void frmAcceso::CmdLineaComando_Click() {
  try {
    CrearAccesoDirecto();
  } catch (const ErrorEjecucion& e) {
    gFunciones().MostrarError(e, int{ui::vbOKOnly} + ui::vbCritical, "CmdLineaComando");
  }
}

void frmAcceso::CmdRegistrar_Click() {
  try {
    Registrar();
  } catch (const ErrorEjecucion& e) {
    gFunciones().MostrarError(e, int{ui::vbOKOnly} + ui::vbCritical, "CmdRegistrar");
  } catch (const std::exception& e) {
    gFunciones().MostrarError(ErrorEjecucion(-1, e.what()), int{ui::vbOKOnly} + ui::vbCritical,
                              "CmdRegistrar");
  }
}

void frmAcceso::Registrar() {
  std::string clave, servidorClave;
  // Set when the standard login worked or a failure sends the routine to ALTADSN.exe:
  // the steps before that point are passed over.
  bool alLanzador = false;
  auto antes = [&alLanzador](std::function<Paso()> f) -> basic::FuncionPaso {
    return [&alLanzador, f = std::move(f)] { return alLanzador ? Paso::Seguir : f(); };
  };
  const std::vector<basic::FuncionPaso> pasos = {
      antes([&] {
        servidorClave = ServidorClave(TextoServidor());
        clave = ClaveBases(TxtDbName(), TextoServidor());
        datos_.servidor.clear();
        DatosBase(clave);
        return Paso::Seguir;
      }),
      antes([&] {
        if (Trim(datos_.servidor).empty()) return Paso::Seguir;
        ui::operador().MsgBox("La conexion que intenta registrar ya existe ",
                              int{ui::vbInformation} + ui::vbOKOnly, "Atencion");
        return Paso::Salir;
      }),
      antes([&] {
        SetTxtServidor(Trim(TextoServidor()));
        SetTxtUserId(Trim(TxtUserId()));
        SetTxtUserPassword(Trim(TxtUserPassword()));
        SetTxtDbName(Trim(TxtDbName()));
        return Paso::Seguir;
      }),
      antes([&] {
        const std::string base = basic::UCase(TxtDbName());
        if (ExisteBaseDeDatos(TxtServidor(), base, base, base, "SQLOLEDB")) {
          GrabarBases(clave, TxtDbName(), TxtDbName(), TxtDbName(), TextoServidor());
          alLanzador = true;
        }
        return Paso::Seguir;
      }),
      // The typed login on the main connection.
      antes([&] {
        principal::CerrarSiAbierta();
        return Paso::Seguir;
      }),
      antes([&] {
        principal::Abrir(TxtServidor(), TxtUserId(), TxtUserPassword(), TxtDbName());
        return Paso::Seguir;
      }),
      antes([&] {
        if (principal::Abierta()) return Paso::Seguir;
        ui::operador().MsgBox("NO SE PUDO CONECTAR AL SERVIDOR " + TextoServidor() +
                                  " VERIFIQUE EL NOMBRE DE USUARIO Y PASSWORD INGRESADO",
                              int{ui::vbInformation} + ui::vbOKOnly, "AVISO AL OPERADOR");
        return Paso::Salir;
      }),
      // The file keeps the standard login even when another one was typed.
      antes([&] {
        GrabarBases(clave, TxtDbName(), TxtDbName(), TxtDbName(), TextoServidor());
        return Paso::Seguir;
      }),
      basic::P([&] {
        const std::string carpeta = gFunciones().AgregarBarra(os::CarpetaAplicacion());
        if (!os::ArchivoExisteSinCaso(carpeta + "ALTADSN.exe")) return;
        std::string programa = carpeta + "ALTADSN.exe";
        // A folder with blanks would split the command line.
        if (programa.find(' ') != std::string::npos) programa = "\"" + programa + "\"";
        os::procesos().Iniciar(programa + " " + "Server=" + servidorClave + ";DB=" + TxtDbName() + ";",
                               os::vbMinimizedNoFocus);
      }),
      basic::P([] { principal::Cerrar(); }),
      basic::P([this] { llenarlist(); }),
  };
  basic::EjecutarPasos(pasos, [&](const ErrorEjecucion& e) {
    if (!ErrorTolerado(e.Number)) {
      ui::operador().MsgBox(
          "SQL Server start failed.  \rSQL-DMO error:  " + Str(e.Number) + " " + e.Description, ui::vbOKOnly,
          "");
      alLanzador = true;
    }
    return static_cast<int>(ui::vbIgnore);
  });
}

bool frmAcceso::ExisteBaseDeDatos(const std::string& Servidor, const std::string& Dbname,
                                  const std::string& Usuario, const std::string& Password,
                                  const std::string& Proveedor) {
  // Only a refused open counts: closing a connection that is already closed does not.
  try {
    principal::CerrarSiAbierta();
  } catch (const ErrorEjecucion&) {
  }
  const std::string cadena = "PROVIDER=" + Proveedor + ";" + "Server=" + Servidor + ";" +
                             "Database =" + Dbname + ";" + "UId=" + Usuario + ";" + "Pwd=" + Password + ";";
  try {
    principal::Probar(cadena);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool frmAcceso::EjecutarCmdRegDB(const std::string& Archivo, std::string& ErrDevuelto) {
  long pid = 0;
  try {
    pid = os::procesos().Iniciar(Archivo, os::vbNormalFocus);
  } catch (const ErrorEjecucion&) {
    ErrDevuelto = "Error al ejecutar el comando";
    return false;
  }
  while (os::procesos().Vive(pid)) {
    QApplication::processEvents();
    QThread::msleep(20);
  }
  return true;
}

void InstalarVentanaAccesoQt() {
  InstalarFabricaVentanaAcceso([] { return std::make_unique<frmAcceso>(); });
}
