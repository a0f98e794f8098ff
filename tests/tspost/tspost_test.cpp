// tspost: the job file, its command line, and delivery against a real loopback SMTP
// server (tests/fixtures/tspost/smtp_sink.py, on aiosmtpd).
#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "companion/rutas_correo.h"
#include "support/temp_dir.h"
#include "platform/basic/archivos.h"
#include "platform/basic/diario_entregas.h"
#include "tspost.h"
#include "support/lanzar.h"
#include "support/puertos.h"
#include "support/recurso_compartido.h"
#include "support/buzon_imap.h"
#include "support/servidor_smtp.h"
#include "platform/basic/texto.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// ---------------------------------------------------------------- job file

struct CasoTrabajo {
  const char* nombre;
  std::string bytes;
  std::vector<std::string> destinatarios;
  std::string asunto;
  std::vector<std::string> lineas;
  std::vector<std::string> archivos;
};

TEST(TspostTrabajo, LeeCadaFormaDelArchivoDeTrabajo) {
  const std::vector<CasoTrabajo> casos = {
      {"mensaje de una linea",
       "DESTINATARIO=prov@example.com\r\nASUNTO=Orden de compra\r\nMENSAJE=Adjunto OC\r\n"
       "ARCHIVO=/app/E-MAILS/P001-A1.html\r\n",
       {"prov@example.com"},
       "Orden de compra",
       {"Adjunto OC"},
       {"/app/E-MAILS/P001-A1.html"}},
      {"mensaje de dos lineas: el LF queda tras el nuevo MENSAJE=, acentos en 1252",
       "DESTINATARIO=prov@example.com\r\nASUNTO=Orden \x80 \xf1\r\nMENSAJE=Adjunto OC\r\n"
       "MENSAJE=\nSaludos, se\xf1or\r\nARCHIVO=/app/P.html\r\n",
       {"prov@example.com"},
       "Orden \u20ac \u00f1",
       {"Adjunto OC", "Saludos, se\u00f1or"},
       {"/app/P.html"}},
      {"asunto y mensaje vacios, sin CR LF final",
       "DESTINATARIO=a@b.com\r\nASUNTO=\r\nMENSAJE=\r\nARCHIVO=/x/y z.html",
       {"a@b.com"},
       "",
       {""},
       {"/x/y z.html"}},
      {"linea vacia dentro del mensaje",
       "DESTINATARIO=a@b.com\r\nASUNTO=x\r\nMENSAJE=A\r\nMENSAJE=\n\r\nMENSAJE=\nB\r\n"
       "ARCHIVO=/f.html\r\n",
       {"a@b.com"},
       "x",
       {"A", "", "B"},
       {"/f.html"}},
      {"el mismo trabajo copiado con LF solo",
       "DESTINATARIO=a@b.com\nASUNTO=x\nMENSAJE=A\nMENSAJE=\n\nMENSAJE=\nB\nARCHIVO=/f.html\n",
       {"a@b.com"},
       "x",
       {"A", "", "B"},
       {"/f.html"}},
      {"varios destinatarios, claves sin distinguir mayusculas",
       "destinatario=a@b.com; c@d.com,e@f.com\r\nAsunto=  x  \r\nmensaje=m\r\narchivo=/f\r\n",
       {"a@b.com", "c@d.com", "e@f.com"},
       "x",
       {"m"},
       {"/f"}},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    tspost::Trabajo t = tspost::ParsearTrabajo(c.bytes);
    EXPECT_EQ(t.destinatarios, c.destinatarios);
    EXPECT_EQ(t.asunto, c.asunto);
    EXPECT_EQ(t.lineasMensaje, c.lineas);
    EXPECT_EQ(t.archivos, c.archivos);
  }
}

// Control characters: in a recipient or a path they refuse the job (no recipient is kept,
// the value is kept shown visibly); in the subject or the message they become blanks.
TEST(TspostTrabajo, LosCaracteresDeControlRechazanElTrabajoOSeVuelvenBlancos) {
  const struct {
    const char* nombre;
    std::string bytes;
    std::string rechazo;  // "" : not refused
    std::string destinatario, asunto;
    std::vector<std::string> lineas, archivos;
  } casos[] = {
      {"el ataque: un DESTINATARIO que trae otra linea ARCHIVO=",
       "DESTINATARIO=ventas@acme.com,\r\nARCHIVO=/usr/share/locale/en@quot/../../../../root/.netrc\r\n"
       "ASUNTO=x\r\nARCHIVO=/app/P.html\r\n",
       "",
       "ventas@acme.com,",
       "x",
       {},
       {"/usr/share/locale/en@quot/../../../../root/.netrc", "/app/P.html"}},
      {"LF suelto dentro de DESTINATARIO",
       "DESTINATARIO=a@b.com\nARCHIVO=/etc/passwd\r\nARCHIVO=/app/P.html\r\n",
       "el destinatario tiene caracteres de control: a@b.com\\nARCHIVO=/etc/passwd",
       "a@b.com\\nARCHIVO=/etc/passwd",
       "",
       {},
       {"/app/P.html"}},
      {"TAB al final del destinatario",
       "DESTINATARIO=a@b.com\t\r\nARCHIVO=/app/P.html\r\n",
       "el destinatario tiene caracteres de control: a@b.com\\t",
       "a@b.com\\t",
       "",
       {},
       {"/app/P.html"}},
      {"NUL y VT en la ruta",
       std::string("DESTINATARIO=a@b.com\r\nARCHIVO=/app/P\0\v.html\r\n", 45),
       "el archivo a adjuntar tiene caracteres de control: /app/P\\0\\x0B.html",
       "a@b.com",
       "",
       {},
       {"/app/P\\0\\x0B.html"}},
      {"control C1 de Windows-1252 (0x81) en la ruta",
       "DESTINATARIO=a@b.com\r\nARCHIVO=/app/P\x81.html\r\n",
       "el archivo a adjuntar tiene caracteres de control: /app/P\\u0081.html",
       "a@b.com",
       "",
       {},
       {"/app/P\\u0081.html"}},
      {"asunto y mensaje: TAB, CR y VT se vuelven blancos",
       "DESTINATARIO=a@b.com\r\nASUNTO=Orden\t1\rde\vjunio\r\nMENSAJE=a\tb\r\nMENSAJE=\n12345678\tc\x85\r\n"
       "ARCHIVO=/app/P.html\r\n",
       "",
       "a@b.com",
       "Orden 1 de junio",
       {"a       b", "12345678        c\u2026"},
       {"/app/P.html"}},
      {"UTF-8 con marca: separador de linea U+2028 en el asunto",
       "\xef\xbb\xbf"
       "DESTINATARIO=a@b.com\r\nASUNTO=a\xe2\x80\xa8"
       "b\r\nARCHIVO=/app/P.html\r\n",
       "",
       "a@b.com",
       "a b",
       {},
       {"/app/P.html"}},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    const tspost::Trabajo t = tspost::ParsearTrabajo(c.bytes);
    EXPECT_EQ(t.rechazo, c.rechazo);
    EXPECT_EQ(t.destinatarioTexto, c.destinatario);
    EXPECT_EQ(t.asunto, c.asunto);
    if (!c.lineas.empty()) EXPECT_EQ(t.lineasMensaje, c.lineas);
    EXPECT_EQ(t.archivos, c.archivos);
    EXPECT_EQ(t.destinatarios.empty(), !c.rechazo.empty());
  }
}

// Paths compared once ".." and links are resolved; a sibling folder that merely starts with
// the same name is outside.
TEST(TspostTrabajo, ElAdjuntoDebeEstarEnUnaCarpetaPermitida) {
  TempDir dir;
  const std::string permitida = dir / "app/E-MAILS/ENVIOS";
  fs::create_directories(permitida + "/09-12-2026");
  fs::create_directories(dir / "app/E-MAILS/ENVIOS2");
  fs::create_directories(dir / "otra");
  WriteBytes(permitida + "/09-12-2026/P.html", "x");
  WriteBytes(dir / "app/TM440kv.INI", "x");
  fs::create_symlink(dir / "app/TM440kv.INI", permitida + "/ini.html");
  fs::create_directory_symlink(dir / "otra", permitida + "/enlace");
  fs::create_directory_symlink(permitida, dir / "otra/vuelta");
  const struct {
    std::string ruta;
    bool dentro;
  } casos[] = {
      {permitida + "/09-12-2026/P.html", true},
      {permitida + "/09-12-2026/falta.html", true},  // missing: held, not refused
      {permitida + "/09-12-2026/../09-12-2026/P.html", true},
      {dir / "otra/vuelta/09-12-2026/P.html", true},  // a link into the folder
      {permitida, false},
      {permitida + "/../../TM440kv.INI", false},
      {permitida + "/no/existe/../../../../TM440kv.INI", false},
      {permitida + "/ini.html", false},  // a link out of it
      {permitida + "/enlace/x.html", false},
      {dir / "app/E-MAILS/ENVIOS2/P.html", false},
      {"/etc/hostname", false},
      {"E-MAILS/ENVIOS/09-12-2026/P.html", false},
      {"", false},
  };
  for (const auto& c : casos) EXPECT_EQ(tspost::DentroDeCarpetas(c.ruta, {permitida}), c.dentro) << c.ruta;
  EXPECT_TRUE(tspost::DentroDeCarpetas(dir / "otra/x.html", {permitida, dir / "otra/"}));
}

TEST(TspostArgumentos, RecomponeLaRutaDelTrabajo) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> casos = {
      {{"/app/cfgMail.txt", ";vxqr@"}, "/app/cfgMail.txt"},
      // split at blanks by a launcher that does not quote
      {{"/mi", "app/cfgMail.txt", ";vxqr@"}, "/mi app/cfgMail.txt"},
      {{"\"/mi app/cfgMail.txt\"", ";vxqr@"}, "/mi app/cfgMail.txt"},
      {{"/mi app/cfgMail.txt ;vxqr@"}, "/mi app/cfgMail.txt"},
      {{"/app/cfgMail.txt;vxqr@"}, "/app/cfgMail.txt"},
      {{"/app/cfgMail.txt"}, "/app/cfgMail.txt"},
      {{";vxqr@"}, ""},
      {{}, ""},
  };
  for (const auto& [args, esperado] : casos) EXPECT_EQ(tspost::RutaDeArgumentos(args), esperado);
}

TEST(TspostArgumentos, HallaElArchivoPeseAMayusculasYBlancosPerdidos) {
  TempDir dir;
  fs::create_directories(dir.path() / "Mi   App");
  WriteBytes(dir / "Mi   App/CFGMAIL.TXT", "x");
  EXPECT_EQ(tspost::ResolverRuta(dir.str() + "/Mi App/cfgMail.txt"), dir / "Mi   App/CFGMAIL.TXT");
  EXPECT_EQ(tspost::ResolverRuta(dir.str() + "/Otra/cfgMail.txt"), dir.str() + "/Otra/cfgMail.txt");
}

// ---------------------------------------------------------------- processes

const std::string kSink = ScriptSmtp();

// Run as root, the cases that need folder permissions hand their folders to "nobody" and
// start tspost as that user.
void CederANadie(const fs::path& raiz) {
  if (geteuid() != 0) return;
  lchown(raiz.c_str(), kNadie, kNadie);
  for (const auto& e : fs::recursive_directory_iterator(raiz)) lchown(e.path().c_str(), kNadie, kNadie);
}

// Whether "nobody" can reach a folder of the test once it is handed over: every folder above
// it must let others through (the test's folder holds the program, so where the build sits
// does not matter).
bool NadieLlegaA(const fs::path& carpeta) {
  for (fs::path p = carpeta.parent_path();; p = p.parent_path()) {
    struct stat st {};
    if (stat(p.c_str(), &st) != 0 || !(st.st_mode & S_IXOTH)) return false;
    if (p == p.root_path() || p.empty()) return true;
  }
}

// A read-only folder for the life of the object.
class SoloLectura {
 public:
  explicit SoloLectura(std::string carpeta) : carpeta_(std::move(carpeta)) { chmod(carpeta_.c_str(), 0555); }
  ~SoloLectura() { chmod(carpeta_.c_str(), 0755); }

 private:
  std::string carpeta_;
};

std::string Texto(const QJsonObject& o, const char* clave) { return o.value(clave).toString().toStdString(); }

// The files of a folder, but for hidden ones (the spool's lock file .reintentar.lck).
std::vector<std::string> Archivos(const std::string& carpeta, const std::string& ext = "") {
  std::vector<std::string> r;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(carpeta, ec))
    if ((ext.empty() || e.path().extension() == ext) && e.path().filename().string()[0] != '.')
      r.push_back(e.path().string());
  std::sort(r.begin(), r.end());
  return r;
}

// ---------------------------------------------------------------- delivery

// An application folder with a blank in its name laid out as installed: the program itself
// (a copy: the run folders it may attach from hang from its own folder, and a user without
// privileges must be able to run it wherever the build sits), the order's HTML file in a run
// folder, the job file written as the mailing tool writes it (Windows-1252, CR LF) and
// TM440kv.INI.
class TspostEnvio : public ::testing::Test {
 protected:
  void SetUp() override {
    // The PC's own folder (the spool) inside the test's folder, handed to "nobody" with it;
    // the test reads where it lies through the same function as tspost.
    if (const char* e = std::getenv("XDG_STATE_HOME")) estadoAntes_ = e;
    setenv("XDG_STATE_HOME", estado_.c_str(), 1);
    app_ = dir_.path() / "Mi App";
    envios_ = app_ / "E-MAILS" / "ENVIOS";
    fs::create_directories(envios_ / "09-12-2026" / "14.05.33");
    programa_ = (app_ / "tspost").string();
    fs::copy_file(TSPOST_EXE, programa_);
    adjunto_ = (envios_ / "09-12-2026" / "14.05.33" / "P001-A1.html").string();
    html_ =
        "<html><head><meta charset=\"utf-8\"></head>\r\n<body>\r\n.\r\n"
        "<p>Orden de compra \xc3\xb1"
        "and\xc3\xba \xe2\x82\xac</p></body></html>\r\n";
    WriteBytes(adjunto_, html_);
    trabajo_ = (app_ / "cfgMail.txt").string();
    fs::create_directories(casa_);
  }

  void EscribirIni(const std::string& correo) {
    WriteBytes((app_ / "TM440kv.INI").string(), "[General]\r\nServidor=otro\r\n\r\n[CORREO]\r\n" + correo);
  }
  void EscribirIniServidor(int puerto) {
    EscribirIni("Servidor=127.0.0.1\r\nPuerto=" + std::to_string(puerto) +
                "\r\nSeguridad=NINGUNA\r\nRemitente=compras@empresa.com\r\n"
                "NombreRemitente=Compras \xd1"
                "and\xfa S.A.\r\nTiempoEspera=20\r\n");
  }

  // The job of an order: a long accented subject and a message of three lines.
  void EscribirTrabajo() { WriteBytes(trabajo_, TextoTrabajo()); }
  std::string TextoTrabajo(const std::string& destinatario = "prov@example.com") {
    return "DESTINATARIO=" + destinatario +
           "\r\n"
           "ASUNTO=Orden de compra N\xba 0001-00000123 de Compa\xf1\xed"
           "a \xd1"
           "and\xfa"
           " \x80 para el se\xf1or Mu\xf1oz, con atenci\xf3n a su pedido\r\n"
           "MENSAJE=Adjunto OC\r\n"
           "MENSAJE=\n\r\n"
           "MENSAJE=\nSaludos, se\xf1or Mu\xf1oz \x80\r\n"
           "ARCHIVO=" +
           adjunto_ + "\r\n";
  }
  const std::string asunto_ =
      "Orden de compra N\u00ba 0001-00000123 de Compa\u00f1\u00eda \u00d1and\u00fa \u20ac para "
      "el se\u00f1or Mu\u00f1oz, con atenci\u00f3n a su pedido";
  const std::string cuerpo_ = "Adjunto OC\n\nSaludos, se\u00f1or Mu\u00f1oz \u20ac\n";

  // Started as the mailing tool starts it: the command line split at blanks.
  pid_t LanzarTrabajo(const std::string& ruta, bool sinPrivilegios = false) {
    std::vector<std::string> args = {programa_};
    std::string linea = ruta + " ;vxqr@";
    for (size_t i = 0, j; i <= linea.size(); i = j + 1) {
      j = linea.find(' ', i);
      if (j == std::string::npos) j = linea.size();
      if (j > i) args.push_back(linea.substr(i, j - i));
    }
    return Lanzar(args, Entorno(), sinPrivilegios);
  }
  // HOME is a folder of the test, for the user's ~/.netrc.
  std::map<std::string, std::string> Entorno() {
    std::map<std::string, std::string> e = extra_;
    e.emplace("TSPOST_INI", (app_ / "TM440kv.INI").string());
    e.emplace("HOME", casa_.string());
    return e;
  }
  int CorrerTrabajo() { return Esperar(LanzarTrabajo(trabajo_)); }
  // `ahora`: every spooled message at once, whatever its turn.
  int Reintentar(bool ahora = false) {
    std::vector<std::string> args = {programa_, "--reintentar", "--ini=" + (app_ / "TM440kv.INI").string()};
    if (ahora) args.push_back("--ahora");
    return Esperar(Lanzar(args, Entorno()));
  }

  void ComprobarMensaje(const QJsonObject& m) {
    EXPECT_EQ(Texto(m, "subject"), asunto_);
    std::string cuerpo = Texto(m, "body");
    for (size_t p; (p = cuerpo.find("\r\n")) != std::string::npos;) cuerpo.erase(p, 1);
    EXPECT_EQ(cuerpo, cuerpo_);
    QJsonArray adjuntos = m.value("attachments").toArray();
    ASSERT_EQ(adjuntos.size(), 1);
    QJsonObject a = adjuntos.at(0).toObject();
    EXPECT_EQ(Texto(a, "filename"), "P001-A1.html");
    EXPECT_EQ(Texto(a, "content_type"), "text/html");
    EXPECT_EQ(QByteArray::fromBase64(a.value("data").toString().toLatin1()).toStdString(), html_);
    EXPECT_TRUE(m.value("defects").toArray().isEmpty()) << Texto(m, "defects");
    EXPECT_THAT(Texto(m, "message_id"), ::testing::MatchesRegex("<.+@.+>"));
    EXPECT_FALSE(Texto(m, "date").empty());
  }

  std::string Log() { return basic::DeWindows1252(ReadBytes((app_ / "TSPOST.LOG").string())); }
  size_t VecesEnLog(const std::string& texto) {
    const std::string log = Log();
    size_t n = 0;
    for (size_t p = 0; (p = log.find(texto, p)) != std::string::npos; p += texto.size()) ++n;
    return n;
  }
  void TearDown() override { setenv("XDG_STATE_HOME", estadoAntes_.c_str(), 1); }
  std::string Spool() {
    return LeerRutasCorreo(app_.string(), (app_ / "TM440kv.INI").string()).carpetaPendientes;
  }
  std::string Fallidos() { return (fs::path(Spool()).parent_path() / "FALLIDOS").string(); }
  std::vector<basic::LineaEntrega> Diario() {
    return basic::LeerDiarios((app_ / "CORREO" / "ENTREGAS.TXT").string());
  }
  // Sets one key of the only envelope in the spool, as the operator (or time) would.
  void CambiarSobre(const std::string& clave, const std::string& valor) {
    const auto sobres = Archivos(Spool(), ".sobre");
    ASSERT_EQ(sobres.size(), 1u);
    std::string texto = ReadBytes(sobres[0]);
    const size_t i = texto.find(clave + "=");
    ASSERT_NE(i, std::string::npos) << texto;
    texto.replace(i, texto.find("\r\n", i) - i, clave + "=" + valor);
    WriteBytes(sobres[0], texto);
  }
  std::string Salida() { return (app_ / "CORREO" / "SALIDA").string(); }

  TempDir dir_;
  fs::path app_, envios_;
  const fs::path casa_ = dir_.path() / "casa";
  const std::string estado_ = (dir_.path() / "estado").string();
  std::string estadoAntes_;
  std::map<std::string, std::string> extra_;  // more environment for the program
  std::string programa_, adjunto_, html_, trabajo_;
};

TEST_F(TspostEnvio, EnviaAsuntoCuerpoYAdjuntoIntactosYTomaElTrabajo) {
  int puerto = PuertoLibre();
  ServidorSmtp smtp(puerto, dir_ / "recibidos");
  ASSERT_TRUE(smtp.Listo()) << "no arranca " << Python() << " " << kSink << " (python3-aiosmtpd)";
  EscribirIniServidor(puerto);
  EscribirTrabajo();

  ASSERT_EQ(CorrerTrabajo(), 0);
  EXPECT_FALSE(fs::exists(trabajo_));
  auto mensajes = smtp.Mensajes();
  ASSERT_EQ(mensajes.size(), 1u);
  ComprobarMensaje(mensajes[0]);
  EXPECT_EQ(Texto(mensajes[0], "from"), "\"Compras \u00d1and\u00fa S.A.\" <compras@empresa.com>");
  EXPECT_EQ(Texto(mensajes[0], "mail_from"), "compras@empresa.com");
  EXPECT_EQ(mensajes[0].value("rcpt_tos").toArray().at(0).toString().toStdString(), "prov@example.com");
  EXPECT_TRUE(Archivos(Spool()).empty());

  // One line per outcome, Windows-1252 with CR LF.
  std::string bytes = ReadBytes((app_ / "TSPOST.LOG").string());
  EXPECT_THAT(bytes, HasSubstr("Compa\xf1\xed"
                               "a"));
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  EXPECT_THAT(Log(), HasSubstr(" | ENVIADO | prov@example.com | " + asunto_ + " | "));
}

// STARTTLS and TLS from the first byte, with user and password; the test server's
// certificate is self-signed, so it is not verified.
TEST_F(TspostEnvio, EnviaConStartTlsYConTlsAutenticado) {
  for (const std::string modo : {"starttls", "tls"}) {
    SCOPED_TRACE(modo);
    int puerto = PuertoLibre();
    ServidorSmtp smtp(puerto, dir_ / ("recibidos-" + modo), {modo, "compras", "cl@ve;1 x"});
    ASSERT_TRUE(smtp.Listo());
    EscribirIni("Servidor=127.0.0.1\r\nPuerto=" + std::to_string(puerto) +
                "\r\nSeguridad=" + basic::UCase(modo) +
                "\r\nUsuario=compras\r\nClave=cl@ve;1 x\r\nRemitente=compras@empresa.com\r\n"
                "VerificarCertificado=NO\r\nTiempoEspera=20\r\n");
    EscribirTrabajo();
    EXPECT_EQ(CorrerTrabajo(), 0);
    auto mensajes = smtp.Mensajes();
    ASSERT_EQ(mensajes.size(), 1u);
    ComprobarMensaje(mensajes[0]);
  }
}

TEST_F(TspostEnvio, ConElServidorCaidoEsperaEnPendientesYReintentarLoEntregaUnaVez) {
  int puerto = PuertoLibre();
  EscribirIniServidor(puerto);
  EscribirTrabajo();

  EXPECT_EQ(CorrerTrabajo(), 1);
  EXPECT_FALSE(fs::exists(trabajo_));
  // The spool is the PC's own, never in the application folder.
  EXPECT_EQ(Spool(), RutaCarpetaLocal(app_.string()) + "/PENDIENTES");
  EXPECT_EQ(Spool().rfind(estado_ + "/ocmail/", 0), 0u) << Spool();
  EXPECT_FALSE(fs::exists(app_ / "CORREO" / "PENDIENTES"));
  EXPECT_EQ(Archivos(Spool(), ".eml").size(), 1u);
  EXPECT_EQ(Archivos(Spool(), ".sobre").size(), 1u);
  EXPECT_TRUE(Archivos(Spool(), ".trabajo").empty());
  EXPECT_THAT(Log(), HasSubstr(" | PENDIENTE | prov@example.com | " + asunto_ + " | "));

  EXPECT_EQ(Reintentar(true), 1);  // still down: nothing lost, nothing sent
  EXPECT_EQ(Archivos(Spool()).size(), 2u);

  ServidorSmtp smtp(puerto, dir_ / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  EXPECT_EQ(Reintentar(true), 0);
  EXPECT_TRUE(Archivos(Spool()).empty());
  EXPECT_EQ(Reintentar(), 0);
  auto mensajes = smtp.Mensajes();
  ASSERT_EQ(mensajes.size(), 1u);
  ComprobarMensaje(mensajes[0]);
  EXPECT_THAT(Log(), HasSubstr(" | ENVIADO | prov@example.com | " + asunto_ + " | "));
}

TEST_F(TspostEnvio, SinServidorDejaElMensajeComoEmlEnLaSalida) {
  EscribirIni("Remitente=compras@empresa.com\r\n");
  EscribirTrabajo();

  ASSERT_EQ(CorrerTrabajo(), 0);
  EXPECT_FALSE(fs::exists(trabajo_));
  auto eml = Archivos(Salida(), ".eml");
  ASSERT_EQ(eml.size(), 1u);
  std::string json = dir_ / "eml.json";
  ASSERT_EQ(Esperar(Lanzar({Python(), kSink, "parse", eml[0], json})), 0);
  ComprobarMensaje(QJsonDocument::fromJson(QByteArray::fromStdString(ReadBytes(json))).object());
  EXPECT_THAT(Log(), HasSubstr(" | SALIDA | prov@example.com | "));
  EXPECT_TRUE(Archivos(Spool()).empty());
  const auto diario = Diario();
  ASSERT_EQ(diario.size(), 1u);
  EXPECT_EQ(diario[0].resultado, basic::kEntregaEnviado);
  EXPECT_EQ(diario[0].detalle, eml[0]);
}

// Attachment names outside ASCII, and several ARCHIVO lines, as a mail reader decodes them.
TEST_F(TspostEnvio, AdjuntosConNombresAcentuados) {
  const std::string largo =
      "Orden de compra de la Compa\u00f1\u00eda \u00d1and\u00fa "
      "para el se\u00f1or Mu\u00f1oz n\u00famero 0001-00000123.html";
  WriteBytes((envios_ / largo).string(), "<p>b</p>");
  tspost::Trabajo t;
  t.destinatarios = {"prov@example.com"};
  t.archivos = {adjunto_, (envios_ / largo).string()};
  std::string eml = dir_ / "m.eml", json = dir_ / "m.json";
  WriteBytes(eml, tspost::ArmarMensaje(t, tspost::Configuracion{}).eml);
  ASSERT_EQ(Esperar(Lanzar({Python(), kSink, "parse", eml, json})), 0);
  QJsonObject m = QJsonDocument::fromJson(QByteArray::fromStdString(ReadBytes(json))).object();
  QJsonArray adjuntos = m.value("attachments").toArray();
  ASSERT_EQ(adjuntos.size(), 2);
  EXPECT_EQ(Texto(adjuntos.at(0).toObject(), "filename"), "P001-A1.html");
  EXPECT_EQ(Texto(adjuntos.at(1).toObject(), "filename"), largo);
  EXPECT_TRUE(m.value("defects").toArray().isEmpty());
}

TEST_F(TspostEnvio, SinAdjuntoRetieneElTrabajoHastaQueAparece) {
  EscribirIni("");
  EscribirTrabajo();
  std::string original = ReadBytes(trabajo_);
  fs::remove(adjunto_);

  EXPECT_EQ(CorrerTrabajo(), 1);
  EXPECT_FALSE(fs::exists(trabajo_));
  EXPECT_TRUE(Archivos(Salida()).empty());
  auto retenidos = Archivos(Spool(), ".trabajo");
  ASSERT_EQ(retenidos.size(), 1u);
  EXPECT_EQ(ReadBytes(retenidos[0]), original);
  EXPECT_THAT(Log(), HasSubstr(" | RETENIDO | prov@example.com | "));

  WriteBytes(adjunto_, html_);
  EXPECT_EQ(Reintentar(), 0);
  EXPECT_EQ(Archivos(Salida(), ".eml").size(), 1u);
  EXPECT_TRUE(Archivos(Spool()).empty());
}

// A FIFO in the attachment's place is held like a missing file, never waited on.
TEST_F(TspostEnvio, UnaFifoEnLugarDelAdjuntoRetieneElTrabajo) {
  EscribirIni("");
  EscribirTrabajo();
  fs::remove(adjunto_);
  ASSERT_EQ(mkfifo(adjunto_.c_str(), 0644), 0);
  EXPECT_EQ(CorrerTrabajo(), 1);
  EXPECT_EQ(Archivos(Spool(), ".trabajo").size(), 1u);
  EXPECT_THAT(Log(), HasSubstr(" | RETENIDO | prov@example.com | "));
  EXPECT_THAT(Log(), HasSubstr("el adjunto " + adjunto_ + " no es un archivo comun"));
  EXPECT_TRUE(Archivos(Salida()).empty());
}

TEST_F(TspostEnvio, SinTrabajoOSinDondeGuardarloNoTomaNada) {
  EscribirIni("");
  EXPECT_EQ(CorrerTrabajo(), 2);  // no job file
  EXPECT_THAT(Log(), HasSubstr(" | ERROR | "));
  EXPECT_EQ(Esperar(Lanzar({programa_, "--ini=" + (app_ / "TM440kv.INI").string()})), 2);

  // A spool folder that cannot be made: the job stays where it is, untouched.
  WriteBytes((app_ / "bloqueo").string(), "");
  EscribirIni("CarpetaPendientes=bloqueo/PENDIENTES\r\n");
  EscribirTrabajo();
  std::string original = ReadBytes(trabajo_);
  EXPECT_EQ(CorrerTrabajo(), 3);
  EXPECT_EQ(ReadBytes(trabajo_), original);
  EXPECT_TRUE(Archivos(Salida()).empty());
}

// ---------------------------------------------------------------- taking the job

// ocmail withdraws a job it gave up waiting for by renaming it away; tspost takes a job by
// renaming it into its spool. Whoever renames first owns the job.
TEST_F(TspostEnvio, ElTrabajoRetiradoNoSeEnviaYElTomadoSeEnviaUnaVez) {
  EscribirIni("");

  // Withdrawn before the mail program runs: nothing is sent.
  EscribirTrabajo();
  const std::string original = ReadBytes(trabajo_);
  ASSERT_EQ(::rename(trabajo_.c_str(), (trabajo_ + ".retirado").c_str()), 0);
  EXPECT_EQ(CorrerTrabajo(), 2);
  EXPECT_THAT(Log(), HasSubstr("no existe (ya lo tomo otro tspost o lo retiro ocmail); no se envia nada"));
  EXPECT_EQ(ReadBytes(trabajo_ + ".retirado"), original);
  EXPECT_TRUE(Archivos(Salida()).empty());
  EXPECT_TRUE(Archivos(Spool()).empty());

  // The next order's job in the same place: the late mail program of the withdrawn order
  // takes it and sends what it took; the next order's own mail program finds nothing.
  WriteBytes(trabajo_, TextoTrabajo("otro@example.com"));
  EXPECT_EQ(CorrerTrabajo(), 0);
  EXPECT_EQ(CorrerTrabajo(), 2);

  // A withdrawal after the take fails: the job is the mail program's, mailed once.
  EXPECT_NE(::rename(trabajo_.c_str(), (trabajo_ + ".retirado2").c_str()), 0);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(Reintentar(), 0);
  EXPECT_EQ(Archivos(Salida(), ".eml").size(), 1u);
  EXPECT_EQ(VecesEnLog(" | SALIDA | "), 1u);
  EXPECT_EQ(VecesEnLog(" | SALIDA | otro@example.com | "), 1u);
  EXPECT_TRUE(Archivos(Spool()).empty());
}

// The withdrawal and the take at the same moment, at many offsets: each job is either
// withdrawn and never sent, or taken and sent once.
TEST_F(TspostEnvio, RetiroYTomaALaVezDejanUnSoloDueno) {
  EscribirIni("");
  size_t tomados = 0;
  for (int ronda = 0; ronda < 16; ++ronda) {
    SCOPED_TRACE(ronda);
    EscribirTrabajo();
    const pid_t pid = LanzarTrabajo(trabajo_);
    std::this_thread::sleep_for(std::chrono::microseconds(1500 * ronda));
    const std::string retirado = trabajo_ + ".retirado" + std::to_string(ronda);
    const bool retiro = ::rename(trabajo_.c_str(), retirado.c_str()) == 0;
    const int error = errno;
    const int codigo = Esperar(pid);
    if (retiro) {
      EXPECT_EQ(codigo, 2);
    } else {
      EXPECT_EQ(error, ENOENT);
      EXPECT_EQ(codigo, 0);
      ++tomados;
    }
    EXPECT_EQ(VecesEnLog(" | SALIDA | "), tomados);
    EXPECT_EQ(Archivos(Salida(), ".eml").size(), tomados);
    EXPECT_TRUE(Archivos(Spool()).empty());
  }
}

// A spool item locked by another process (a tspost sending it) is left alone by
// --reintentar: only the holder sends it.
TEST_F(TspostEnvio, UnElementoBloqueadoPorOtroProcesoLoEnviaSoloQuienTieneElBloqueo) {
  EscribirIni("Seguridad=STARTLS\r\n");  // not valid: the job is kept as it came
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 1);
  const auto items = Archivos(Spool(), ".trabajo");
  ASSERT_EQ(items.size(), 1u);
  EscribirIni("");
  struct Descriptor {
    int fd;
    ~Descriptor() {
      if (fd >= 0) close(fd);
    }
  } otro{open(items[0].c_str(), O_RDWR | O_CLOEXEC)};
  ASSERT_EQ(flock(otro.fd, LOCK_EX), 0);
  EXPECT_EQ(Reintentar(), 1);
  EXPECT_TRUE(Archivos(Salida()).empty());

  close(otro.fd);
  otro.fd = -1;
  EXPECT_EQ(Reintentar(), 0);
  EXPECT_EQ(VecesEnLog(" | SALIDA | "), 1u);
  EXPECT_EQ(Archivos(Salida(), ".eml").size(), 1u);
  EXPECT_TRUE(Archivos(Spool()).empty());
}

// A job that cannot be taken (its folder is read-only, or the spool is, here or on another
// file system) is left where it is, byte for byte, and nothing is sent nor left in the
// spool: ocmail sees the mail program end without taking it and does not stamp the order,
// so it must not be mailed either.
TEST_F(TspostEnvio, TrabajoQueNoSePuedeTomarQuedaEnSuLugarSinEnviar) {
  if (geteuid() == 0 && !NadieLlegaA(dir_.path()))
    GTEST_SKIP() << "el usuario nobody no puede entrar en " << dir_.path().parent_path() << " (TMPDIR)";
  EscribirIni("");
  fs::create_directories(app_ / "trabajos");
  fs::create_directories(Spool());
  const std::string trabajo = (app_ / "trabajos" / "cfgMail.txt").string();
  for (const std::string& soloLectura : {(app_ / "trabajos").string(), Spool()}) {
    SCOPED_TRACE(soloLectura);
    WriteBytes(trabajo, TextoTrabajo());
    CederANadie(dir_.path());
    SoloLectura guarda(soloLectura);

    EXPECT_EQ(Esperar(LanzarTrabajo(trabajo, true)), 3);
    EXPECT_EQ(ReadBytes(trabajo), TextoTrabajo());
    EXPECT_THAT(Log(), HasSubstr("no se envia, el trabajo queda en " + trabajo));
    EXPECT_TRUE(Archivos(Salida()).empty());
    EXPECT_TRUE(Archivos(Spool()).empty());
    EXPECT_TRUE(Archivos((app_ / "trabajos").string(), ".tomado").empty());
    EXPECT_EQ(VecesEnLog(" | SALIDA | "), 0u);
  }
}

// A spool folder on another (local) file system: the job is copied into it, then taken.
// When the copy cannot be made the job stays at its path.
TEST_F(TspostEnvio, PendientesEnOtroSistemaDeArchivos) {
  std::string otro = "/dev/shm/ocmail-test-XXXXXX";
  if (!fs::is_directory("/dev/shm") || !mkdtemp(otro.data())) GTEST_SKIP() << "no hay /dev/shm";
  struct Borrar {
    std::string carpeta;
    ~Borrar() { fs::remove_all(carpeta); }
  } borrar{otro};
  struct stat a {
  }, b{};
  if (stat(app_.c_str(), &a) != 0 || stat(otro.c_str(), &b) != 0 || a.st_dev == b.st_dev)
    GTEST_SKIP() << otro << " esta en el mismo sistema de archivos que " << app_;
  if (geteuid() == 0 && (!NadieLlegaA(dir_.path()) || !NadieLlegaA(otro)))
    GTEST_SKIP() << "el usuario nobody no puede entrar en " << dir_.path().parent_path() << " o en /dev/shm";
  const std::string spool = otro + "/PENDIENTES";
  EscribirIni("CarpetaPendientes=" + spool + "\r\n");

  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 0);
  EXPECT_FALSE(fs::exists(trabajo_));
  EXPECT_TRUE(Archivos(app_.string(), ".tomado").empty());
  EXPECT_EQ(Archivos(Salida(), ".eml").size(), 1u);
  EXPECT_TRUE(Archivos(spool).empty());
  struct stat st {};
  ASSERT_EQ(stat(spool.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);  // made by tspost: its user's alone

  EscribirTrabajo();
  CederANadie(dir_.path());
  CederANadie(otro);
  SoloLectura guarda(spool);
  EXPECT_EQ(Esperar(LanzarTrabajo(trabajo_, true)), 3);
  EXPECT_EQ(ReadBytes(trabajo_), TextoTrabajo());
  EXPECT_TRUE(Archivos(app_.string(), ".tomado").empty());
  EXPECT_TRUE(Archivos(spool).empty());
  EXPECT_EQ(VecesEnLog(" | SALIDA | "), 1u);
}

// ---------------------------------------------------------------- a spool that is not safe

// A spool folder of another user, or one that group or others may write, is never used:
// no job is taken into it and --reintentar sends nothing from it.
TEST_F(TspostEnvio, UnaColaAjenaOQueOtrosPuedenEscribirNoSeUsa) {
  if (geteuid() != 0) GTEST_SKIP() << "hace falta root para dar la carpeta a nobody";
  const struct {
    const char* caso;
    uid_t dueno;
    mode_t modo;
    const char* dice;
  } casos[] = {
      {"de nobody", kNadie, 0700, " es de otro usuario (uid 65534)"},
      {"escribible por el grupo", 0, 0770, " (permisos 0770); corrijalo con chmod 700"},
      {"escribible por todos", 0, 0777, " (permisos 0777)"},
  };
  for (const auto& caso : casos) {
    SCOPED_TRACE(caso.caso);
    fs::remove_all(Spool());
    EscribirIni("Seguridad=STARTLS\r\n");
    EscribirTrabajo();
    ASSERT_EQ(CorrerTrabajo(), 1);
    const auto guardado = Archivos(Spool(), ".trabajo");
    ASSERT_EQ(guardado.size(), 1u);
    EscribirIni("");
    ASSERT_EQ(chown(Spool().c_str(), caso.dueno, caso.dueno), 0);
    ASSERT_EQ(chmod(Spool().c_str(), caso.modo), 0);

    EscribirTrabajo();
    EXPECT_EQ(CorrerTrabajo(), 3);
    EXPECT_EQ(ReadBytes(trabajo_), TextoTrabajo());
    EXPECT_EQ(Reintentar(true), 3);
    EXPECT_EQ(Archivos(Spool()), guardado);
    EXPECT_TRUE(Archivos(Salida()).empty());
    EXPECT_THAT(Log(), HasSubstr("la carpeta de pendientes " + Spool() + caso.dice));
    EXPECT_THAT(Log(), HasSubstr("--reintentar no envia nada"));

    ASSERT_EQ(chown(Spool().c_str(), 0, 0), 0);  // put right: both go
    ASSERT_EQ(chmod(Spool().c_str(), 0700), 0);
    EXPECT_EQ(CorrerTrabajo(), 0);
    EXPECT_EQ(Reintentar(true), 0);
    EXPECT_EQ(Archivos(Salida(), ".eml").size(), 2u);
    fs::remove_all(Salida());
  }
}

// A lock refused for another reason than another holder (ENOLCK; EBADF where NFSv4 wants a
// descriptor open for writing) stops the work: nothing is taken or sent without its lock.
// With NFSv4's rule alone everything works, since every lock is taken on a writable
// descriptor.
TEST_F(TspostEnvio, UnBloqueoRechazadoDetieneSinEnviarYConLasReglasDeNfsFunciona) {
  EscribirIni("Seguridad=STARTLS\r\n");
  EscribirTrabajo();
  ASSERT_EQ(CorrerTrabajo(), 1);  // one mail waits in the spool
  EscribirIni("");

  extra_ = {{"LD_PRELOAD", OCMAIL_SHIM_FS}, {"OCMAIL_SHIM_SIN_LOCK", "1"}};
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 3);
  EXPECT_EQ(ReadBytes(trabajo_), TextoTrabajo());
  EXPECT_THAT(Log(),
              HasSubstr("no se puede guardar el trabajo en la carpeta de pendientes " + Spool() + " (" +
                        std::strerror(ENOLCK) + "); no se envia, el trabajo queda en " + trabajo_));
  EXPECT_EQ(Reintentar(true), 3);
  EXPECT_THAT(Log(), HasSubstr("no se puede bloquear el cerrojo " + Spool() + "/.reintentar.lck (" +
                               std::strerror(ENOLCK) + "); --reintentar no envia nada sin el bloqueo"));
  EXPECT_TRUE(Archivos(Salida()).empty());
  EXPECT_EQ(Archivos(Spool(), ".trabajo").size(), 1u);

  extra_ = {{"LD_PRELOAD", OCMAIL_SHIM_FS}, {"OCMAIL_SHIM_NFS", "1"}};
  EXPECT_EQ(CorrerTrabajo(), 0);
  EXPECT_EQ(Reintentar(true), 0);
  EXPECT_EQ(Archivos(Salida(), ".eml").size(), 2u);
  EXPECT_TRUE(Archivos(Spool()).empty());
}

// A full spool file system: the job is not taken (it stays at its path, byte for byte),
// nothing is sent, exit code 3, and no half-written item is left in the spool.
TEST_F(TspostEnvio, ConLaColaLlenaElTrabajoQuedaEnSuLugar) {
  if (geteuid() != 0) GTEST_SKIP() << "hace falta root para montar un tmpfs";
  EscribirIni("");
  fs::create_directories(Spool());
  ASSERT_EQ(mount("tmpfs", Spool().c_str(), "tmpfs", 0, "size=64k,mode=0700"), 0) << std::strerror(errno);
  struct Desmontar {
    std::string carpeta;
    ~Desmontar() { umount2(carpeta.c_str(), MNT_DETACH); }
  } desmontar{Spool()};
  {
    std::ofstream relleno(Spool() + "/relleno", std::ios::binary);
    const std::string bloque(4096, 'x');
    for (int i = 0; i < 64 && relleno; ++i) relleno.write(bloque.data(), bloque.size());
  }
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 3);
  EXPECT_EQ(ReadBytes(trabajo_), TextoTrabajo());
  EXPECT_THAT(Log(),
              HasSubstr("no se puede guardar el trabajo en la carpeta de pendientes " + Spool() + " (" +
                        std::strerror(ENOSPC) + "); no se envia, el trabajo queda en " + trabajo_));
  EXPECT_EQ(Archivos(Spool()), std::vector<std::string>{Spool() + "/relleno"});
  EXPECT_TRUE(Archivos(Salida()).empty());
  EXPECT_TRUE(Diario().empty());

  fs::remove(Spool() + "/relleno");  // room again: taken and sent
  EXPECT_EQ(CorrerTrabajo(), 0);
  EXPECT_EQ(Archivos(Salida(), ".eml").size(), 1u);
}

// Two Unix users with one application folder: another user's --reintentar never sends what
// waits in root's spool, whether it looks in its own folder (the default) or is pointed at
// root's spool by the INI.
TEST_F(TspostEnvio, OtroUsuarioNoEnviaLaColaDeRoot) {
  if (geteuid() != 0) GTEST_SKIP() << "hace falta root para correr como nobody";
  if (!NadieLlegaA(dir_.path()))
    GTEST_SKIP() << "el usuario nobody no puede entrar en " << dir_.path().parent_path() << " (TMPDIR)";
  const int puerto = PuertoLibre();
  const fs::path nadie = dir_.path() / "nadie";  // nobody's HOME and state folder
  fs::create_directories(nadie / "estado");
  const struct {
    const char* caso;
    const char* ini;
    int codigo;
  } casos[] = {{"su propia cola", "", 0}, {"la de root por la INI", "CarpetaPendientes=COLA\r\n", 3}};
  for (const auto& caso : casos) {
    SCOPED_TRACE(caso.caso);
    EscribirIni("Servidor=127.0.0.1\r\nPuerto=" + std::to_string(puerto) +
                "\r\nRemitente=compras@empresa.com\r\n" + caso.ini);
    EscribirTrabajo();
    ASSERT_EQ(CorrerTrabajo(), 1);  // the server is down: it waits in root's spool
    const std::string cola = Spool();
    const auto antes = Archivos(cola);
    ASSERT_EQ(antes.size(), 2u);
    const std::string sobre = ReadBytes(Archivos(cola, ".sobre").at(0));

    // What nobody needs: the folders down to the program and the INI, its own home.
    for (const fs::path& p : {dir_.path(), app_}) chown(p.c_str(), kNadie, kNadie);
    CederANadie(nadie);
    ServidorSmtp smtp(puerto, dir_ / ("recibidos-" + std::to_string(&caso - casos)));
    ASSERT_TRUE(smtp.Listo());
    std::map<std::string, std::string> entorno = Entorno();
    entorno["HOME"] = nadie.string();
    entorno["XDG_STATE_HOME"] = (nadie / "estado").string();
    EXPECT_EQ(Esperar(Lanzar({programa_, "--reintentar", "--ahora"}, entorno, true)), caso.codigo);
    EXPECT_TRUE(smtp.Mensajes().empty());
    EXPECT_EQ(Archivos(cola), antes);
    EXPECT_EQ(ReadBytes(Archivos(cola, ".sobre").at(0)), sobre);

    EXPECT_EQ(Reintentar(true), 0);  // root's own retry sends it, once
    EXPECT_EQ(smtp.Mensajes().size(), 1u);
    for (const fs::path& p : {dir_.path(), app_}) chown(p.c_str(), 0, 0);
  }
}

// ---------------------------------------------------------------- a shared application folder

// The application folder on a real SMB share, seen from two PCs (tests/support/recurso_compartido.h).
class TspostCompartido : public TspostEnvio {
 protected:
  static void SetUpTestSuite() { banco_ = std::make_unique<RecursoCompartido>(); }
  static void TearDownTestSuite() { banco_.reset(); }
  void SetUp() override {
    TspostEnvio::SetUp();
    ASSERT_TRUE(banco_->Listo()) << banco_->Error();
    static int n = 0;
    compartida_ = "app-" + std::to_string(++n);
    fs::create_directories(fs::path(banco_->A()) / compartida_);
  }
  // The application folder (its INI) as PC A or B sees it.
  std::string Compartida(bool pcB = false) const {
    return ((pcB ? banco_->B() : banco_->A()) + "/" + compartida_);
  }
  static std::unique_ptr<RecursoCompartido> banco_;
  std::string compartida_;
};
std::unique_ptr<RecursoCompartido> TspostCompartido::banco_;

// A spool named on the share is refused: nothing is taken or sent, and the message names
// the key, the folder and why.
TEST_F(TspostCompartido, UnaColaEnLaCarpetaCompartidaSeRechaza) {
  const std::string cola = Compartida() + "/PENDIENTES";
  WriteBytes(Compartida() + "/TM440kv.INI", "[CORREO]\r\nCarpetaPendientes=" + cola + "\r\n");
  extra_["TSPOST_INI"] = Compartida() + "/TM440kv.INI";
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 3);
  EXPECT_EQ(ReadBytes(trabajo_), TextoTrabajo());
  EXPECT_EQ(Esperar(Lanzar({programa_, "--reintentar", "--ahora"}, Entorno())), 3);
  EXPECT_FALSE(fs::exists(cola));
  EXPECT_FALSE(fs::exists(Compartida() + "/CORREO/SALIDA"));
  const std::string log = basic::DeWindows1252(ReadBytes(Compartida() + "/TSPOST.LOG"));
  EXPECT_THAT(log,
              HasSubstr(" | ERROR |  |  | CarpetaPendientes=" + cola + " de [CORREO] en " + Compartida() +
                        "/TM440kv.INI esta en un sistema de archivos de red o de usuario (FUSE)"));
  EXPECT_THAT(log, HasSubstr("; no se envia nada, el trabajo queda en " + trabajo_));
  EXPECT_THAT(log,
              HasSubstr("(FUSE), donde los bloqueos y los renombres no son seguros; deje la clave vacia "
                        "(se usa la carpeta propia del equipo) o indique una carpeta de un disco de este "
                        "equipo; --reintentar no envia nada"));
}

// With the application folder on the share and the spool on the PC, mail goes: the log and
// the journal on the share are appended to from each PC (a write-only append open there
// fails), and the outbox is written there.
TEST_F(TspostCompartido, ConLaCarpetaEnElRecursoElCorreoSale) {
  for (const bool pcB : {false, true}) {
    SCOPED_TRACE(pcB ? "B" : "A");
    WriteBytes(Compartida(pcB) + "/TM440kv.INI", "[CORREO]\r\nRemitente=compras@empresa.com\r\n");
    extra_["TSPOST_INI"] = Compartida(pcB) + "/TM440kv.INI";
    EscribirTrabajo();
    EXPECT_EQ(CorrerTrabajo(), 0);
    EXPECT_FALSE(fs::exists(trabajo_));
  }
  const std::string servidor = banco_->Servidor() + "/" + compartida_;
  EXPECT_EQ(Archivos(servidor + "/CORREO/SALIDA", ".eml").size(), 2u);
  const std::string log = basic::DeWindows1252(ReadBytes(servidor + "/TSPOST.LOG"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
  const auto diario = basic::LeerDiarios(servidor + "/CORREO/ENTREGAS.TXT");
  ASSERT_EQ(diario.size(), 2u);
  for (const auto& l : diario) EXPECT_EQ(l.resultado, basic::kEntregaEnviado);
  EXPECT_TRUE(Archivos(Spool()).empty());
}

// A taken file that holds no job is not lost: it is kept in the spool under a name that
// --reintentar leaves alone, and the log names it.
TEST_F(TspostEnvio, UnArchivoSinTrabajoQuedaApartadoEnPendientes) {
  EscribirIni("");
  WriteBytes(trabajo_, "hola\r\n");
  EXPECT_EQ(CorrerTrabajo(), 2);
  EXPECT_FALSE(fs::exists(trabajo_));
  const auto apartados = Archivos(Spool(), ".rechazado");
  ASSERT_EQ(apartados.size(), 1u);
  EXPECT_EQ(ReadBytes(apartados[0]), "hola\r\n");
  EXPECT_THAT(Log(), HasSubstr(" | ERROR | "));
  EXPECT_THAT(Log(), HasSubstr("no es un trabajo de correo; queda en " + apartados[0]));

  EXPECT_EQ(Reintentar(), 0);
  EXPECT_EQ(Archivos(Spool()), apartados);
  EXPECT_TRUE(Archivos(Salida()).empty());
}

// A job that names a file outside the run folders, or smuggles a line in through a
// control character, is refused: nothing sent, kept as .rechazado, FALLIDO in the journal,
// an ERROR line that names the file, exit code 4.
TEST_F(TspostEnvio, UnTrabajoConAdjuntoFueraDeLasCarpetasPermitidasSeRechaza) {
  const int puerto = PuertoLibre();
  ServidorSmtp smtp(puerto, dir_ / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  EscribirIniServidor(puerto);
  const std::string ini = (app_ / "TM440kv.INI").string();
  fs::create_directories(app_ / "E-MAILS" / "ENVIOS2");
  WriteBytes((app_ / "E-MAILS" / "ENVIOS2" / "P.html").string(), "x");
  fs::create_symlink(ini, envios_ / "ini.html");
  const struct {
    const char* nombre;
    std::string destinatario, archivo;
    std::string enLog;
  } casos[] = {
      {"un archivo del sistema", "prov@example.com", "/etc/hostname",
       "el archivo a adjuntar /etc/hostname esta fuera de las carpetas permitidas"},
      {"el INI por ..", "prov@example.com", envios_.string() + "/../../TM440kv.INI",
       "el archivo a adjuntar " + envios_.string() + "/../../TM440kv.INI esta fuera"},
      {"un enlace dentro de la carpeta", "prov@example.com", (envios_ / "ini.html").string(), "esta fuera"},
      {"una carpeta hermana", "prov@example.com", (app_ / "E-MAILS" / "ENVIOS2" / "P.html").string(),
       "esta fuera"},
      {"un destinatario que trae otra linea", "prov@example.com,\r\nARCHIVO=" + ini, adjunto_,
       "el archivo a adjuntar " + ini + " esta fuera"},
      {"un destinatario con LF suelto", "prov@example.com\nARCHIVO=" + ini, adjunto_,
       "el destinatario tiene caracteres de control: prov@example.com\\nARCHIVO="},
  };
  size_t rechazados = 0;
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    std::string texto = TextoTrabajo(c.destinatario);
    texto.replace(texto.find("ARCHIVO=" + adjunto_), 8 + adjunto_.size(), "ARCHIVO=" + c.archivo);
    WriteBytes(trabajo_, texto);
    EXPECT_EQ(CorrerTrabajo(), 4);
    EXPECT_FALSE(fs::exists(trabajo_));
    const auto apartados = Archivos(Spool(), ".rechazado");
    ASSERT_EQ(apartados.size(), ++rechazados);
    EXPECT_EQ(Archivos(Spool()).size(), rechazados);  // nothing else waits
    EXPECT_EQ(Diario().back().resultado, basic::kEntregaFallido);
    EXPECT_THAT(Diario().back().detalle, HasSubstr("trabajo rechazado: "));
    EXPECT_THAT(Log(), HasSubstr(" | ERROR | "));
    EXPECT_THAT(Log(), HasSubstr(c.enLog));
  }
  // The log stays one line per event: every line starts with its date.
  const std::string log = Log();
  size_t lineas = 0;
  for (size_t i = 0; i < log.size(); i = log.find("\r\n", i) + 2, ++lineas)
    EXPECT_THAT(log.substr(i, 22), ::testing::MatchesRegex("[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9:]{8} \\| "))
        << log;
  EXPECT_EQ(lineas, std::size(casos));
  // The journal too: one line per attachment named (two in the job with a second ARCHIVO=),
  // the recipient with its LF shown.
  const auto diario = Diario();
  EXPECT_EQ(diario.size(), std::size(casos) + 1);
  EXPECT_EQ(diario.back().destinatario, "prov@example.com\\nARCHIVO=" + ini);
  EXPECT_TRUE(smtp.Mensajes().empty());

  // Other folders of the suite's programs, by CarpetasAdjuntos (relative: from the
  // application folder).
  EscribirIni("CarpetasAdjuntos=/no/existe; E-MAILS/ENVIOS2\r\n");
  WriteBytes(trabajo_, TextoTrabajo());
  std::string texto = TextoTrabajo();
  texto.replace(texto.find(adjunto_), adjunto_.size(), (app_ / "E-MAILS" / "ENVIOS2" / "P.html").string());
  WriteBytes(trabajo_, texto);
  EXPECT_EQ(CorrerTrabajo(), 0) << Log();
  EXPECT_EQ(Archivos(Salida(), ".eml").size(), 1u);
}

// A job spooled before the check existed is refused by --reintentar the same way.
TEST_F(TspostEnvio, ReintentarRechazaUnTrabajoGuardadoConAdjuntoFuera) {
  EscribirIni("");
  fs::create_directories(Spool());
  const std::string id = "20260912-140533-4242-a1b2c3";
  std::string texto = TextoTrabajo();
  texto.replace(texto.find(adjunto_), adjunto_.size(), "/etc/hostname");
  WriteBytes(Spool() + "/" + id + ".trabajo", texto);
  EXPECT_EQ(Reintentar(), 0);
  EXPECT_EQ(Archivos(Spool()), std::vector<std::string>{Spool() + "/" + id + ".rechazado"});
  EXPECT_EQ(ReadBytes(Spool() + "/" + id + ".rechazado"), texto);
  EXPECT_TRUE(Archivos(Salida()).empty());
  EXPECT_EQ(Diario().back().resultado, basic::kEntregaFallido);
  EXPECT_EQ(Diario().back().idCola, id);
  EXPECT_THAT(Log(), HasSubstr(" | ERROR | prov@example.com | "));
  EXPECT_THAT(Log(), HasSubstr("/etc/hostname esta fuera de las carpetas permitidas"));
}

// ---------------------------------------------------------------- settings

// Every key tspost reads: empty keeps the default, a valid value is taken, anything else is
// an error that names the key, the value and what is accepted.
TEST(TspostAjustes, UnValorNoValidoEsUnErrorQueNombraClaveValorYAceptados) {
  TempDir dir;
  const std::string ini = dir / "TM440kv.INI";
  auto leer = [&](const std::string& correo) {
    WriteBytes(ini, "[CORREO]\r\n" + correo);
    return tspost::LeerConfiguracion(dir.str(), "");
  };
  const tspost::Configuracion vacia = leer(
      "Servidor=\r\nPuerto=\r\nSeguridad=\r\nTiempoEspera=\r\nDiasReintento=\r\nTiempoToken=\r\n"
      "VerificarCertificado=\r\nAutenticacion=\r\nRemitente=\r\n");
  EXPECT_TRUE(vacia.errores.empty());
  EXPECT_EQ(vacia.PuertoEfectivo(), 25);
  EXPECT_EQ(vacia.tiempoEspera, 60);
  EXPECT_EQ(vacia.diasReintento, 3);
  EXPECT_EQ(vacia.tiempoToken, 30);
  EXPECT_TRUE(vacia.verificarCertificado);

  const tspost::Configuracion buena = leer(
      "Servidor=smtp.empresa.com.ar\r\nPuerto=2525\r\nSeguridad=starttls\r\nTiempoEspera=5\r\n"
      "DiasReintento=10\r\nTiempoToken=7\r\nVerificarCertificado=No\r\nAutenticacion=xoauth2\r\n"
      "Remitente=compras@empresa.com.ar\r\n");
  EXPECT_TRUE(buena.errores.empty());
  EXPECT_EQ(buena.puerto, 2525);
  EXPECT_EQ(buena.seguridad, tspost::Seguridad::StartTls);
  EXPECT_EQ(buena.tiempoEspera, 5);
  EXPECT_EQ(buena.diasReintento, 10);
  EXPECT_EQ(buena.tiempoToken, 7);
  EXPECT_FALSE(buena.verificarCertificado);
  EXPECT_EQ(buena.autenticacion, tspost::Autenticacion::Xoauth2);

  const struct {
    std::string linea, aceptados;
  } malos[] = {
      {"Seguridad=STARTLS", "NINGUNA, STARTTLS o TLS"},
      {"Puerto=25x", "un numero entero de 1 a 65535"},
      {"Puerto=abc", "un numero entero de 1 a 65535"},
      {"Puerto=-25", "un numero entero de 1 a 65535"},
      {"Puerto=70000", "un numero entero de 1 a 65535"},
      {"TiempoEspera=0", "un numero entero de 1 a 3600"},
      {"TiempoEspera=1.5", "un numero entero de 1 a 3600"},
      {"DiasReintento=tres", "un numero entero de 1 a 365"},
      {"TiempoToken=99999999999999999999", "un numero entero de 1 a 3600"},
      {"VerificarCertificado=SII", "SI o NO"},
      {"Autenticacion=KERBEROS", "CLAVE o XOAUTH2"},
      {"Remitente=compras", "una direccion de correo"},
      {"Servidor=smtp.empresa.com/x", "un nombre de equipo o una direccion IP"},
  };
  for (const auto& m : malos) {
    SCOPED_TRACE(m.linea);
    const tspost::Configuracion c = leer(m.linea + "\r\n");
    ASSERT_EQ(c.errores.size(), 1u);
    EXPECT_EQ(c.errores[0], m.linea + " no es un valor valido de [CORREO] (" + m.aceptados + ")");
  }
}

// The default run folder is the program's own, found whatever its case, never the folder of
// an INI named apart.
TEST(TspostAjustes, LasCarpetasDeAdjuntosSonLasDelPrograma) {
  TempDir dir;
  fs::create_directories(dir.path() / "prog" / "e-mails" / "Envios");
  fs::create_directories(dir.path() / "otra");
  WriteBytes(dir / "otra/TM440kv.INI", "[CORREO]\r\nCarpetasAdjuntos= ;/srv/pedidos ; PDF\\OC ;\r\n");
  const tspost::Configuracion c = tspost::LeerConfiguracion(dir / "prog", dir / "otra/TM440kv.INI");
  EXPECT_THAT(c.carpetasAdjuntos,
              ElementsAre(dir / "prog/e-mails/Envios", "/srv/pedidos", dir / "otra/PDF/OC"));
}

// A mistyped Seguridad must not mean a login in clear: nothing reaches the server, the mail
// waits in the spool with one ERROR line per run, and goes once the INI is put right.
TEST_F(TspostEnvio, UnAjusteNoValidoDetieneElCorreoHastaCorregirlo) {
  const int puerto = PuertoLibre();
  ServidorSmtp smtp(puerto, dir_ / "recibidos", {"auth", "compras", "secreto-claro"});
  ASSERT_TRUE(smtp.Listo());
  const std::string base = "Servidor=127.0.0.1\r\nPuerto=" + std::to_string(puerto) +
                           "\r\nUsuario=compras\r\nClave=secreto-claro\r\nRemitente=compras@empresa.com\r\n";
  EscribirIni(base + "Seguridad=STARTLS\r\n");
  chmod((app_ / "TM440kv.INI").c_str(), 0600);
  for (int i = 0; i < 2; ++i) {
    EscribirTrabajo();
    EXPECT_EQ(CorrerTrabajo(), 1);
  }
  EXPECT_EQ(Reintentar(true), 1);
  EXPECT_TRUE(smtp.Mensajes().empty());
  EXPECT_EQ(Archivos(Spool(), ".trabajo").size(), 2u);  // built once the settings are right
  EXPECT_EQ(VecesEnLog(" | ERROR |  |  | Seguridad=STARTLS no es un valor valido de [CORREO] (NINGUNA, "
                       "STARTTLS o TLS) en " +
                       (app_ / "TM440kv.INI").string() + "; no se envia ningun correo hasta corregirlo"),
            3u);  // once per run
  EXPECT_EQ(VecesEnLog(" | PENDIENTE | prov@example.com | "), 2u);
  EXPECT_EQ(Diario().size(), 2u);  // no attempt while the settings are wrong

  EscribirIni(base + "Seguridad=NINGUNA\r\n");
  chmod((app_ / "TM440kv.INI").c_str(), 0600);
  EXPECT_EQ(Reintentar(true), 0) << Log();
  EXPECT_EQ(smtp.Mensajes().size(), 2u);
  EXPECT_TRUE(Archivos(Spool()).empty());
}

// ---------------------------------------------------------------- journal and retries

TEST(TspostReintentos, EsperaCreceYErroresDefinitivos) {
  const std::vector<std::pair<int, long>> esperas = {{0, 0},    {1, 60},   {2, 300},  {3, 900},
                                                     {4, 3600}, {5, 3600}, {40, 3600}};
  for (const auto& [fallos, segundos] : esperas)
    EXPECT_EQ(tspost::EsperaReintento(fallos), segundos) << fallos;
  // A refused login is the sender's settings, which the operator may still fix.
  const std::vector<std::pair<long, bool>> codigos = {{550, true},  {554, true},  {552, true},  {535, false},
                                                      {530, false}, {450, false}, {421, false}, {0, false}};
  for (const auto& [codigo, definitivo] : codigos)
    EXPECT_EQ(tspost::ErrorPermanente(codigo), definitivo) << codigo;
}

// Server down, then up: one line per attempt, all of one mail under one spool id and one
// Message-ID, and exactly one delivery carrying that Message-ID.
TEST_F(TspostEnvio, ElDiarioAnotaCadaIntentoYElServidorRecibeUnaVez) {
  const int puerto = PuertoLibre();
  EscribirIniServidor(puerto);
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 1);
  EXPECT_EQ(Reintentar(true), 1);
  ServidorSmtp smtp(puerto, dir_ / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  EXPECT_EQ(Reintentar(true), 0);
  EXPECT_EQ(Reintentar(true), 0);

  const auto mensajes = smtp.Mensajes();
  ASSERT_EQ(mensajes.size(), 1u);
  const auto diario = Diario();
  ASSERT_EQ(diario.size(), 3u);
  for (size_t i = 0; i < diario.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(diario[i].resultado, i < 2 ? basic::kEntregaPendiente : basic::kEntregaEnviado);
    EXPECT_EQ(diario[i].archivo, "P001-A1.html");
    EXPECT_EQ(diario[i].destinatario, "prov@example.com");
    EXPECT_EQ(diario[i].messageId, Texto(mensajes[0], "message_id"));
    EXPECT_EQ(diario[i].idCola, diario[0].idCola);
    EXPECT_THAT(diario[i].fecha,
                ::testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}"));
  }
  EXPECT_THAT(diario[0].detalle, HasSubstr("onnect"));  // curl's "Couldn't connect" / "Connection refused"
  EXPECT_THAT(diario[2].detalle, ::testing::StartsWith("250"));
  EXPECT_EQ(basic::UltimoEstadoPorArchivo(diario).at("P001-A1.html"), diario[2]);
  EXPECT_EQ(VecesEnLog(" | PENDIENTE | "), 2u);
  EXPECT_EQ(VecesEnLog(" | ENVIADO | "), 1u);
}

// One server, recipients it takes, refuses for good (5xx) or for now (4xx): the refused
// mail is given up at once with the server's reply, the delayed one waits in the spool.
TEST_F(TspostEnvio, UnRechazoDefinitivoSeAbandonaEnseguidaYUnoTransitorioEspera) {
  const int puerto = PuertoLibre();
  ServidorSmtp smtp(puerto, dir_ / "recibidos", {},
                    {{"SMTP_SINK_RECHAZAR", "nadie@example.com=550,lleno@example.com=452"}});
  ASSERT_TRUE(smtp.Listo());
  EscribirIniServidor(puerto);
  const struct {
    std::string destinatario;
    int codigo;
    const char* resultado;
    const char* respuesta;
  } casos[] = {
      {"prov@example.com", 0, basic::kEntregaEnviado, "250"},
      {"nadie@example.com", 4, basic::kEntregaFallido,
       "550 5.1.1 <nadie@example.com>: Recipient address rejected"},
      {"prov@example.com; nadie@example.com", 4, basic::kEntregaFallido, "550 5.1.1 <nadie@example.com>"},
      {"lleno@example.com", 1, basic::kEntregaPendiente, "452 4.2.2 <lleno@example.com>"},
  };
  size_t fallidos = 0, pendientes = 0;
  for (const auto& c : casos) {
    SCOPED_TRACE(c.destinatario);
    WriteBytes(trabajo_, TextoTrabajo(c.destinatario));
    EXPECT_EQ(CorrerTrabajo(), c.codigo);
    const auto ultima = Diario().back();
    EXPECT_EQ(ultima.resultado, c.resultado);
    EXPECT_EQ(ultima.destinatario, c.destinatario);
    EXPECT_THAT(ultima.detalle, ::testing::StartsWith(c.respuesta));
    fallidos += c.codigo == 4;
    pendientes += c.codigo == 1;
    EXPECT_EQ(Archivos(Fallidos(), ".eml").size(), fallidos);
    EXPECT_EQ(Archivos(Fallidos(), ".sobre").size(), fallidos);
    EXPECT_EQ(Archivos(Spool(), ".sobre").size(), pendientes);
  }
  EXPECT_EQ(smtp.Mensajes().size(), 1u);
  EXPECT_EQ(VecesEnLog(" | FALLIDO | nadie@example.com | "), 1u);
  EXPECT_THAT(Log(), HasSubstr("Recipient address rejected; movido a " + Fallidos() + "/"));
}

// After a failure the mail waits its turn: a run before it is skipped (no attempt, no
// journal line), --ahora sends it.
TEST_F(TspostEnvio, ReintentarRespetaElTurnoSalvoConAhora) {
  const int puerto = PuertoLibre();
  EscribirIniServidor(puerto);
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 1);
  const std::string sobre = ReadBytes(Archivos(Spool(), ".sobre").at(0));
  EXPECT_THAT(sobre, HasSubstr("INTENTOS=1\r\n"));
  EXPECT_THAT(sobre, HasSubstr("MESSAGE-ID=" + Diario().at(0).messageId + "\r\n"));

  ServidorSmtp smtp(puerto, dir_ / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  EXPECT_EQ(Reintentar(), 1);
  EXPECT_TRUE(smtp.Mensajes().empty());
  EXPECT_EQ(Diario().size(), 1u);
  EXPECT_EQ(Archivos(Spool()).size(), 2u);

  EXPECT_EQ(Reintentar(true), 0);
  EXPECT_EQ(smtp.Mensajes().size(), 1u);
  EXPECT_TRUE(Archivos(Spool()).empty());
}

// A mail that keeps failing is given up once DiasReintento days have passed since its first
// failure, also before its turn; a turn further off than the longest wait (the clock was
// ahead when it failed) comes now. A held job (here: its attachment is gone) is given up
// likewise, counted from its take.
TEST_F(TspostEnvio, SeAbandonaTrasDiasReintento) {
  const int puerto = PuertoLibre();  // nobody listens
  constexpr long kAnio = 365L * 24 * 3600;
  const struct {
    std::string ini;
    int diasAtras;
    long proximo;  // seconds from now of the envelope's next attempt
    const char* resultado;
  } casos[] = {
      {"", 2, -1, basic::kEntregaPendiente},
      {"", 4, -1, basic::kEntregaFallido},
      {"DiasReintento=1\r\n", 2, -1, basic::kEntregaFallido},
      {"", 4, kAnio, basic::kEntregaFallido},
      {"", 4, 1800, basic::kEntregaFallido},     // given up without waiting for its turn
      {"", 2, kAnio, basic::kEntregaPendiente},  // tried now, next turn within the hour
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.ini + std::to_string(c.diasAtras) + " " + std::to_string(c.proximo));
    fs::remove_all(Spool());
    EscribirIni("Servidor=127.0.0.1\r\nPuerto=" + std::to_string(puerto) + "\r\n" + c.ini);
    EscribirTrabajo();
    EXPECT_EQ(CorrerTrabajo(), 1);
    const std::time_t ahora = std::time(nullptr);
    CambiarSobre("PRIMER_FALLO", basic::FechaDiario(ahora - c.diasAtras * 24 * 3600));
    CambiarSobre("PROXIMO_INTENTO", basic::FechaDiario(ahora + c.proximo));
    const size_t antes = Diario().size();
    const bool abandona = c.resultado == basic::kEntregaFallido;
    EXPECT_EQ(Reintentar(), abandona ? 0 : 1);
    EXPECT_EQ(Diario().size(), antes + 1);
    EXPECT_EQ(Diario().back().resultado, c.resultado);
    EXPECT_EQ(Archivos(Spool(), ".sobre").size(), abandona ? 0u : 1u);
    if (abandona) {
      EXPECT_THAT(Diario().back().detalle, HasSubstr("sin entregar en "));
    } else {
      const std::string sobre = ReadBytes(Archivos(Spool(), ".sobre").at(0));
      const size_t i = sobre.find("PROXIMO_INTENTO=") + 16;
      EXPECT_LE(sobre.substr(i, 19), basic::FechaDiario(std::time(nullptr) + 3600)) << sobre;
    }
  }
  EXPECT_EQ(Archivos(Fallidos(), ".eml").size(), 4u);

  fs::remove_all(Spool());
  EscribirIni("");
  EscribirTrabajo();
  fs::remove(adjunto_);
  EXPECT_EQ(CorrerTrabajo(), 1);
  const auto retenido = Archivos(Spool(), ".trabajo").at(0);
  const std::string viejo = Spool() + "/20200101-120000-1-abcdef.trabajo";
  fs::rename(retenido, viejo);
  EXPECT_EQ(Reintentar(), 0);
  EXPECT_TRUE(fs::exists(Fallidos() + "/20200101-120000-1-abcdef.trabajo"));
  EXPECT_EQ(Diario().back().resultado, basic::kEntregaFallido);
  EXPECT_EQ(Diario().back().idCola, "20200101-120000-1-abcdef");
}

// Stops at the worst moments: the job still beside its spooled message (stop before the job
// was removed) is not sent twice; a message sent but still in the spool (stop before the
// journal line) goes again with the same Message-ID.
TEST_F(TspostEnvio, UnaCaidaNoDuplicaElTrabajoYElReenvioLlevaElMismoMessageId) {
  const int puerto = PuertoLibre();
  EscribirIniServidor(puerto);
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 1);
  const std::string eml = Archivos(Spool(), ".eml").at(0), sobre = Archivos(Spool(), ".sobre").at(0);
  const std::string base = eml.substr(0, eml.size() - 4);
  WriteBytes(base + ".trabajo", TextoTrabajo());
  const std::string bytesEml = ReadBytes(eml), bytesSobre = ReadBytes(sobre);

  ServidorSmtp smtp(puerto, dir_ / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  EXPECT_EQ(Reintentar(true), 0);
  EXPECT_TRUE(Archivos(Spool()).empty());
  ASSERT_EQ(smtp.Mensajes().size(), 1u);

  WriteBytes(eml, bytesEml);
  WriteBytes(sobre, bytesSobre);
  EXPECT_EQ(Reintentar(true), 0);
  const auto mensajes = smtp.Mensajes();
  ASSERT_EQ(mensajes.size(), 2u);
  EXPECT_EQ(Texto(mensajes[1], "message_id"), Texto(mensajes[0], "message_id"));
}

// While one --reintentar holds the spool's lock, another does nothing and says so.
TEST_F(TspostEnvio, UnSegundoReintentarNoHaceNadaMientrasOtroTieneElCerrojo) {
  const int puerto = PuertoLibre();
  EscribirIniServidor(puerto);
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 1);
  ServidorSmtp smtp(puerto, dir_ / "recibidos");
  ASSERT_TRUE(smtp.Listo());

  const std::string cerrojo = Spool() + "/.reintentar.lck";
  const int fd = open(cerrojo.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  EXPECT_EQ(Reintentar(true), 0);
  EXPECT_TRUE(smtp.Mensajes().empty());
  EXPECT_EQ(Archivos(Spool()).size(), 2u);
  EXPECT_EQ(VecesEnLog("otro tspost --reintentar atiende la carpeta de pendientes; este no hace nada"), 1u);
  close(fd);

  EXPECT_EQ(Reintentar(true), 0);
  EXPECT_EQ(smtp.Mensajes().size(), 1u);
}

// ---------------------------------------------------------------- SMTP login

// Only "machine <server>" entries with a password count, never "default"; with a Usuario
// the login must match, without one the entry names the user.
TEST(TspostNetrc, HallaLaEntradaDelServidor) {
  const struct {
    const char* texto;
    const char* usuario;
    const char* login;  // nullptr: no entry
  } casos[] = {
      {"machine 127.0.0.1 login compras password x\n", "", "compras"},
      {"machine 127.0.0.1 login compras password x\n", "compras", "compras"},
      {"machine 127.0.0.1 login otro password x\n", "compras", nullptr},
      {"machine 127.0.0.1 login otro password x\nmachine 127.0.0.1 login compras password y\n", "compras",
       "compras"},
      {"machine smtp.otro.example login compras password x\n", "", nullptr},
      {"# machine 127.0.0.1 login compras password x\nmachine otro\n", "", nullptr},
      {"machine otro login compras password \"127.0.0.1 machine\"\n", "", nullptr},
      {"machine otro\nmacdef init\nmachine 127.0.0.1 login compras\n\n", "", nullptr},
      {"machine otro login a password b\n\ndefault login compras password x\n", "compras", nullptr},
      {"default login anonymous password a@b\n", "", nullptr},
      {"machine 127.0.0.1 password x\n", "", nullptr},            // no login to name the user
      {"machine 127.0.0.1 login compras\n", "compras", nullptr},  // no password
      {"machine otro login a\r\n  password \"dos palabras\"\r\nmachine 127.0.0.1\r\n  login compras\r\n"
       "  password \"con blancos\"\r\n",
       "compras", "compras"},
  };
  for (const auto& c : casos) {
    tspost::EntradaNetrc e;
    const bool hay = tspost::BuscarEntradaNetrc(c.texto, "127.0.0.1", c.usuario, e);
    EXPECT_EQ(hay, c.login != nullptr) << c.texto << " / " << c.usuario;
    if (hay && c.login) EXPECT_EQ(e.login, c.login) << c.texto;
  }
  tspost::EntradaNetrc e;
  ASSERT_TRUE(tspost::BuscarEntradaNetrc(casos[std::size(casos) - 1].texto, "127.0.0.1", "compras", e));
  EXPECT_EQ(e.clave, "con blancos");
}

// A server that requires AUTH; the password with "=", ";", blanks (one at its end) and an
// accented letter.
class TspostLogin : public TspostEnvio {
 protected:
  const std::string clave_ = "cl=ve; d\u00eda 1 ";
  const std::string claveNetrc_ = "n3trc-secreto";

  void EscribirIniLogin(int puerto, const std::string& extra) {
    EscribirIni("Servidor=127.0.0.1\r\nPuerto=" + std::to_string(puerto) +
                "\r\nRemitente=compras@empresa.com\r\nTiempoEspera=20\r\n" + extra);
  }
  void EscribirNetrc(const std::string& texto, mode_t modo) {
    const std::string ruta = (casa_ / ".netrc").string();
    WriteBytes(ruta, texto);
    chmod(ruta.c_str(), modo);
  }
  // No password reaches the log, the spool (also given up mails) or the journal.
  void SinClaves() {
    std::vector<std::string> archivos = Archivos(Spool());
    for (const auto& a : Archivos(Fallidos())) archivos.push_back(a);
    archivos.push_back((app_ / "TSPOST.LOG").string());
    for (const auto& a : basic::ArchivosDelDiario((app_ / "CORREO" / "ENTREGAS.TXT").string()))
      archivos.push_back(a);
    for (const auto& a : archivos)
      for (const std::string& clave : {std::string("cl=ve"), claveNetrc_})
        EXPECT_THAT(ReadBytes(a), ::testing::Not(HasSubstr(clave))) << a;
  }
};

// Each source logs in; each case sets the sources after it wrong, so only the first that
// applies can have delivered.
TEST_F(TspostLogin, CadaOrigenDeLaClaveEntregaYElPrimeroManda) {
  const std::string archivoMalo = "ArchivoClave=mala.txt\r\nClave=mala\r\n";
  const struct {
    const char* nombre;
    std::string servidorClave;
    std::string netrc;    // "" : no ~/.netrc
    std::string archivo;  // bytes of clave.txt, written with 0600 ("": none)
    std::string ini;
  } casos[] = {
      {"netrc con el Usuario del INI, tras otro login del mismo servidor", claveNetrc_,
       "machine 127.0.0.1 login otro password mala\nmachine 127.0.0.1 login compras password " + claveNetrc_ +
           "\n",
       "", "Usuario=compras\r\n" + archivoMalo},
      {"netrc que nombra tambien al usuario", claveNetrc_,
       "machine smtp.otro.example login x password y\nmachine 127.0.0.1 login compras password " +
           claveNetrc_ + "\n",
       "", archivoMalo},
      {"netrc sin entrada del servidor: ArchivoClave en Windows-1252", clave_,
       "machine smtp.otro.example login compras password mala\n",
       "cl=ve; d\xed"
       "a 1 \r\nsegunda linea\r\n",
       "Usuario=compras\r\nArchivoClave=clave.txt\r\nClave=mala\r\n"},
      {"ArchivoClave en UTF-8 con ruta absoluta", clave_, "",
       "\xef\xbb\xbf"
       "cl=ve; d\xc3\xad"
       "a 1 \n",
       "Usuario=compras\r\nArchivoClave=" + (app_ / "clave.txt").string() + "\r\nClave=mala\r\n"},
      {"netrc de otro login: Clave del INI", clave_, "machine 127.0.0.1 login otro password mala\n", "",
       "Usuario=compras\r\nClave=\"cl=ve; d\xed"
       "a 1 \"\r\n"},
  };
  int n = 0;
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    fs::remove(casa_ / ".netrc");
    fs::remove(app_ / "clave.txt");
    WriteBytes((app_ / "mala.txt").string(), "mala\n");
    chmod((app_ / "mala.txt").c_str(), 0600);
    if (!c.netrc.empty()) EscribirNetrc(c.netrc, 0600);
    if (!c.archivo.empty()) {
      WriteBytes((app_ / "clave.txt").string(), c.archivo);
      chmod((app_ / "clave.txt").c_str(), 0600);
    }
    const int puerto = PuertoLibre();
    ServidorSmtp smtp(puerto, dir_ / ("recibidos-" + std::to_string(++n)),
                      {"auth", "compras", c.servidorClave});
    ASSERT_TRUE(smtp.Listo());
    EscribirIniLogin(puerto, c.ini);
    chmod((app_ / "TM440kv.INI").c_str(), 0600);
    EscribirTrabajo();
    EXPECT_EQ(CorrerTrabajo(), 0) << Log();
    EXPECT_EQ(smtp.Mensajes().size(), 1u);
    EXPECT_TRUE(Archivos(Spool()).empty());
  }
  EXPECT_EQ(VecesEnLog(" | AVISO | "), 0u) << Log();
  SinClaves();
}

// A "default" entry (an FTP anonymous login) is never sent to the mail server: with Usuario
// empty and no entry for the server there is no login, and a server that requires one
// refuses the mail.
TEST_F(TspostLogin, LaEntradaDefaultDelNetrcNoSeUsa) {
  EscribirNetrc(
      "machine ftp.example.com login x password y\ndefault login anonymous password " + claveNetrc_ + "\n",
      0600);
  const int puerto = PuertoLibre();
  ServidorSmtp smtp(puerto, dir_ / "recibidos", {"auth", "anonymous", claveNetrc_});
  ASSERT_TRUE(smtp.Listo());
  EscribirIniLogin(puerto, "");
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 1) << Log();
  EXPECT_TRUE(smtp.Mensajes().empty());
  EXPECT_EQ(Archivos(Spool(), ".eml").size(), 1u);
  SinClaves();
}

// A credentials file that others can read, that is missing, a symbolic link or someone
// else's is refused with an ERROR line naming it and the fix, and the mail waits in the
// spool until it is put right; a netrc that others can read is not used.
TEST_F(TspostLogin, UnaClaveALaVistaDeOtrosSeRechazaYElCorreoEspera) {
  const std::string archivo = (app_ / "clave.txt").string(), netrc = (casa_ / ".netrc").string();
  const std::string motivo = " | PENDIENTE | prov@example.com | " + asunto_ +
                             " | no se puede usar el archivo de clave " + archivo + ": ";
  enum Archivo { kNinguno, kLegible, kEnlace, kAjeno };
  const struct {
    const char* nombre;
    std::string netrc;  // written with 0644
    Archivo archivo;
    std::string ini;
    std::string enLog;
  } casos[] = {
      {"ArchivoClave legible por otros", "", kLegible, "Usuario=compras\r\nArchivoClave=clave.txt\r\n",
       motivo + "lo pueden leer otros usuarios (permisos 0644); protejalo con chmod 600 " + archivo +
           "; no se envia sin la clave"},
      {"ArchivoClave que no existe", "", kNinguno, "Usuario=compras\r\nArchivoClave=clave.txt\r\n",
       motivo + "no existe"},
      {"ArchivoClave es un enlace", "", kEnlace, "Usuario=compras\r\nArchivoClave=clave.txt\r\n",
       motivo + "es un enlace simbolico; ponga en su lugar el archivo mismo"},
      {"ArchivoClave de otro usuario", "", kAjeno, "Usuario=compras\r\nArchivoClave=clave.txt\r\n",
       motivo + "no es del usuario que ejecuta tspost; hagalo suyo con chown root " + archivo},
      {"netrc legible por otros", "machine 127.0.0.1 login compras password \"" + clave_ + "\"\n", kNinguno,
       "Usuario=compras\r\nClave=mala\r\n",
       " | AVISO |  |  | el archivo " + netrc +
           " lo pueden leer otros usuarios (permisos 0644): no se usa; protejalo con chmod 600 " + netrc},
  };
  const std::string real = (casa_ / "clave-real.txt").string();
  int n = 0;
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    if (c.archivo == kAjeno && geteuid() != 0) continue;  // only root can give a file away
    fs::remove_all(Spool());
    fs::remove(netrc);
    fs::remove(archivo);
    fs::remove(app_ / "TSPOST.LOG");
    if (!c.netrc.empty()) EscribirNetrc(c.netrc, 0644);
    if (c.archivo == kEnlace) {
      WriteBytes(real, clave_ + "\n");
      chmod(real.c_str(), 0600);
      fs::create_symlink(real, archivo);
    } else if (c.archivo != kNinguno) {
      WriteBytes(archivo, clave_ + "\n");
      chmod(archivo.c_str(), c.archivo == kLegible ? 0644 : 0600);
      if (c.archivo == kAjeno) ASSERT_EQ(chown(archivo.c_str(), kNadie, kNadie), 0);
    }
    const int puerto = PuertoLibre();
    ServidorSmtp smtp(puerto, dir_ / ("recibidos-" + std::to_string(++n)), {"auth", "compras", clave_});
    ASSERT_TRUE(smtp.Listo());
    EscribirIniLogin(puerto, c.ini);
    EscribirTrabajo();
    EXPECT_EQ(CorrerTrabajo(), 1);
    EXPECT_TRUE(smtp.Mensajes().empty());
    EXPECT_EQ(Archivos(Spool(), ".eml").size(), 1u);
    EXPECT_EQ(Diario().back().resultado, basic::kEntregaPendiente);
    EXPECT_THAT(Log(), HasSubstr(c.enLog));
    if (c.netrc.empty())  // the ERROR line names the file and the fix too
      EXPECT_THAT(Log(),
                  HasSubstr(" | ERROR |  |  | no se puede usar el archivo de clave " + archivo + ": "));
    SinClaves();

    // Put right, the waiting mail goes.
    if (!c.netrc.empty()) chmod(netrc.c_str(), 0600);
    fs::remove(archivo);
    WriteBytes(archivo, clave_ + "\n");
    chmod(archivo.c_str(), 0600);
    EXPECT_EQ(Reintentar(true), 0) << Log();
    EXPECT_EQ(smtp.Mensajes().size(), 1u);
    SinClaves();
  }
}

// Clave from an INI that others can read still sends (existing installations keep working),
// with one warning per run.
TEST_F(TspostLogin, LaClaveDeUnIniLegiblePorOtrosEnviaConUnAvisoPorEjecucion) {
  const int puerto = PuertoLibre();
  EscribirIniLogin(puerto, "Usuario=compras\r\nClave=\"" + basic::AWindows1252(clave_) + "\"\r\n");
  chmod((app_ / "TM440kv.INI").c_str(), 0644);
  const std::string aviso = " | AVISO |  |  | la clave SMTP esta en " + (app_ / "TM440kv.INI").string() +
                            ", que pueden leer otros usuarios (permisos 0644)";
  for (int i = 0; i < 2; ++i) {
    EscribirTrabajo();
    EXPECT_EQ(CorrerTrabajo(), 1);  // nobody listens yet
  }
  ServidorSmtp smtp(puerto, dir_ / "recibidos", {"auth", "compras", clave_});
  ASSERT_TRUE(smtp.Listo());
  fs::remove(app_ / "TSPOST.LOG");
  EXPECT_EQ(Reintentar(true), 0);
  EXPECT_EQ(smtp.Mensajes().size(), 2u);
  EXPECT_EQ(VecesEnLog(aviso), 1u) << Log();
  EXPECT_EQ(VecesEnLog(" | ENVIADO | "), 2u);

  chmod((app_ / "TM440kv.INI").c_str(), 0600);
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 0);
  EXPECT_EQ(VecesEnLog(aviso), 1u);
  SinClaves();
}

// ---------------------------------------------------------------- OAuth 2.0 (XOAUTH2)

// A server that offers only XOAUTH2 and accepts only the expected user and bearer token;
// the token comes from a script that prints the file token.txt.
class TspostOauth : public TspostLogin {
 protected:
  const std::string token_ = "ya29.a0Af-secreto_~+/=";
  int puerto_ = 0;

  void SetUp() override {
    TspostLogin::SetUp();
    puerto_ = PuertoLibre();
  }
  void EscribirScript(const std::string& nombre, const std::string& cuerpo) {
    const std::string ruta = (app_ / nombre).string();
    WriteBytes(ruta, "#!/bin/sh\n" + cuerpo + "\n");
    chmod(ruta.c_str(), 0755);
  }
  void EscribirIniOauth(const std::string& extra) {
    // The first occurrence of a key counts: `extra` may replace these.
    EscribirIniLogin(puerto_, extra + "Usuario=compras@empresa.com\r\nAutenticacion=XOAUTH2\r\n");
    chmod((app_ / "TM440kv.INI").c_str(), 0600);
  }
  // Neither the token nor the XOAUTH2 string that carries it is written anywhere.
  void SinToken() {
    SinClaves();
    const std::string sasl = tspost::Base64(
        "user=compras@empresa.com\x01"
        "auth=Bearer " +
            token_ + "\x01\x01",
        0);
    std::vector<std::string> archivos = Archivos(Spool());
    archivos.push_back((app_ / "TSPOST.LOG").string());
    for (const auto& a : basic::ArchivosDelDiario((app_ / "CORREO" / "ENTREGAS.TXT").string()))
      archivos.push_back(a);
    for (const auto& a : archivos)
      for (const std::string& s : {std::string("secreto"), sasl})
        EXPECT_THAT(ReadBytes(a), Not(HasSubstr(s))) << a;
  }
};

// The right token logs in; a refused one (535) keeps the mail in the spool with the server's
// reply, and the retry asks the command again.
TEST_F(TspostOauth, ElTokenDelComandoIniciaLaSesionYUnoRechazadoEsperaAlReintento) {
  ServidorSmtp smtp(puerto_, dir_ / "recibidos", {"xoauth2", "compras@empresa.com", token_});
  ASSERT_TRUE(smtp.Listo());
  WriteBytes((app_ / "token.txt").string(), token_ + "\n");
  EscribirScript("token.sh", "cat \"$(dirname \"$0\")/token.txt\"");
  EscribirIniOauth("TokenComando=./token.sh --alcance \"https://outlook.office365.com/.default\"\r\n");
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 0) << Log();
  EXPECT_EQ(smtp.Mensajes().size(), 1u);

  WriteBytes((app_ / "token.txt").string(), "ya29.vencido\n");
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 1) << Log();
  EXPECT_EQ(smtp.Mensajes().size(), 1u);
  EXPECT_EQ(Archivos(Spool(), ".eml").size(), 1u);
  EXPECT_EQ(Diario().back().resultado, basic::kEntregaPendiente);
  EXPECT_THAT(Diario().back().detalle, HasSubstr("535"));
  EXPECT_THAT(Log(),
              ::testing::ContainsRegex(" \\| PENDIENTE \\| prov@example.com \\| [^|]+ \\| el servidor "
                                       "rechazo el inicio de sesion XOAUTH2 de compras@empresa.com: 535 "));
  EXPECT_THAT(Log(), HasSubstr("; al reintentar se pide un token nuevo a TokenComando"));
  EXPECT_EQ(ReadBytes((fs::path(dir_ / "recibidos") / "rechazos.txt").string()), "1");

  WriteBytes((app_ / "token.txt").string(), token_ + "\n");
  EXPECT_EQ(Reintentar(true), 0) << Log();
  EXPECT_EQ(smtp.Mensajes().size(), 2u);
  EXPECT_TRUE(Archivos(Spool()).empty());
  SinToken();
}

// A command that cannot give a token: a clear line in the log, the mail waits in the spool,
// nothing reaches the server and nothing of the output is written.
TEST_F(TspostOauth, UnComandoQueNoDaTokenDejaElCorreoEnEspera) {
  const struct {
    const char* nombre;
    std::string script;  // body of token.sh ("": none written)
    std::string ini;
    std::string enLog;
  } casos[] = {
      {"se cuelga", "echo ya29.a0Af-secreto_; exec sleep 60", "TokenComando=./token.sh\r\nTiempoToken=1\r\n",
       "no se obtuvo el token de acceso: TokenComando no termino en 1 segundos; no se envia sin el token"},
      {"no escribe nada", "exit 0", "TokenComando=./token.sh\r\n", "TokenComando no escribio ningun token"},
      {"escribe megabytes", "head -c 5000000 /dev/zero | tr '\\000' s; sleep 60",
       "TokenComando=./token.sh\r\n", "la salida de TokenComando supera 16384 bytes"},
      {"no existe", "", "TokenComando=/no/existe/token.sh ya29.a0Af-secreto_\r\n",
       "no se encuentra el programa de TokenComando /no/existe/token.sh"},
      {"no existe en PATH", "", "TokenComando=token-que-no-existe\r\n",
       "no se encuentra el programa de TokenComando token-que-no-existe"},
      {"sin permiso de ejecucion", "chmod 644", "TokenComando=./token.sh\r\n",
       "el programa de TokenComando " + (app_ / "token.sh").string() +
           " no tiene permiso de ejecucion (o es una carpeta); delo con chmod 700 " +
           (app_ / "token.sh").string()},
      {"falla", "echo ya29.a0Af-secreto_; exit 3", "TokenComando=./token.sh\r\n",
       "TokenComando termino con el codigo 3"},
      {"varias lineas", "printf 'ya29.a0Af-secreto_\\nerror\\n'", "TokenComando=./token.sh\r\n",
       "la salida de TokenComando no es un token"},
      {"sin TokenComando", "", "", "falta TokenComando en la seccion [CORREO]"},
      {"sin Usuario", "", "Usuario=\r\nTokenComando=./token.sh\r\n",
       "con Autenticacion=XOAUTH2 falta Usuario"},
  };
  ServidorSmtp smtp(puerto_, dir_ / "recibidos", {"xoauth2", "compras@empresa.com", token_});
  ASSERT_TRUE(smtp.Listo());
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    fs::remove_all(Spool());
    fs::remove(app_ / "TSPOST.LOG");
    fs::remove(app_ / "token.sh");
    if (c.script == "chmod 644") {
      EscribirScript("token.sh", "echo ya29.a0Af-secreto_");
      chmod((app_ / "token.sh").c_str(), 0644);
    } else if (!c.script.empty()) {
      EscribirScript("token.sh", c.script);
    }
    EscribirIniOauth(c.ini);
    EscribirTrabajo();
    EXPECT_EQ(CorrerTrabajo(), 1);
    EXPECT_THAT(Log(), HasSubstr(" | PENDIENTE | prov@example.com | " + asunto_ + " | "));
    EXPECT_THAT(Log(), HasSubstr(c.enLog));
    EXPECT_EQ(Archivos(Spool(), ".eml").size(), 1u);
    SinToken();
  }
  EXPECT_TRUE(smtp.Mensajes().empty());

  // An unknown way of logging in is not taken for a password login.
  fs::remove(app_ / "TSPOST.LOG");
  EscribirIniLogin(puerto_, "Usuario=compras\r\nClave=x\r\nAutenticacion=KERBEROS\r\n");
  EscribirTrabajo();
  EXPECT_EQ(CorrerTrabajo(), 1);
  EXPECT_THAT(Log(),
              HasSubstr(" | ERROR |  |  | Autenticacion=KERBEROS no es un valor valido de [CORREO] (CLAVE o "
                        "XOAUTH2)"));
}

}  // namespace

// tspost --revisar on a real IMAP server (Dovecot): three orders mailed, then in the sender's
// mailbox a bounce of the first (a DSN as an MTA writes it), the supplier's reply to the
// second, an out-of-office to the third and two other mails. One journal line for each of
// the three and nothing else; no flag of the mailbox changes; a second run adds nothing.
TEST_F(TspostEnvio, RevisarLeeRebotesYRespuestasSinCambiarElBuzon) {
  const int puerto = PuertoLibre();
  ServidorSmtp smtp(puerto, dir_ / "recibidos");
  ASSERT_TRUE(smtp.Listo());
  const int puertoImap = PuertoLibre();
  BuzonImap buzon(puertoImap, (dir_.path() / "imap").string());
  ASSERT_TRUE(buzon.Listo()) << buzon.Error();
  EscribirIni(
      "Servidor=127.0.0.1\r\nPuerto=" + std::to_string(puerto) +
      "\r\nRemitente=compras@empresa.com\r\nBuzonEntrada=imap://127.0.0.1:" + std::to_string(puertoImap) +
      "/INBOX\r\nUsuarioEntrada=" + BuzonImap::kUsuario + "\r\nClaveEntrada=" + BuzonImap::kClave + "\r\n");
  for (const char* orden : {"P001-A1", "P002-B1", "P003-C1"}) {
    const std::string adjunto =
        (envios_ / "09-12-2026" / "14.05.33" / (std::string(orden) + ".html")).string();
    WriteBytes(adjunto, "<html><body>" + std::string(orden) + "</body></html>");
    WriteBytes(trabajo_, "DESTINATARIO=prov@example.com\r\nASUNTO=Orden\r\nMENSAJE=Adjunto OC\r\nARCHIVO=" +
                             adjunto + "\r\n");
    ASSERT_EQ(CorrerTrabajo(), 0) << Log();
  }
  std::map<std::string, std::string> ids;  // attachment -> Message-ID
  for (const auto& l : Diario()) ids[l.archivo] = l.messageId;
  ASSERT_EQ(ids.size(), 3u);

  buzon.Entregar(
      "1765450001.M1P1.mx",
      "From: MAILER-DAEMON@mx.example.org (Mail Delivery System)\r\nTo: compras@empresa.com\r\n"
      "Subject: Undelivered Mail Returned to Sender\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/report; report-type=delivery-status; boundary=\"B\"\r\n\r\n"
      "--B\r\nContent-Type: text/plain\r\n\r\nYour message could not be delivered.\r\n"
      "--B\r\nContent-Type: message/delivery-status\r\n\r\nReporting-MTA: dns; mx.example.org\r\n\r\n"
      "Final-Recipient: rfc822; prov@example.com\r\nAction: failed\r\nStatus: 5.1.1\r\n"
      "Diagnostic-Code: smtp; 550 5.1.1 <prov@example.com>: User unknown\r\n\r\n"
      "--B\r\nContent-Type: text/rfc822-headers\r\n\r\nFrom: compras@empresa.com\r\nMessage-ID: " +
          ids["P001-A1.html"] + "\r\nSubject: Orden\r\n\r\n--B--\r\n");
  buzon.Entregar("1765450002.M2P1.mx",
                 "From: Ana <prov@example.com>\r\nTo: compras@empresa.com\r\n"
                 "Date: Fri, 11 Dec 2026 09:15:00 -0300\r\nSubject: Re: Orden\r\n"
                 "In-Reply-To: " +
                     ids["P002-B1.html"] + "\r\n\r\nRecibida, gracias.\r\n");
  buzon.Entregar("1765450003.M3P1.mx",
                 "From: Juan <prov@example.com>\r\nTo: compras@empresa.com\r\n"
                 "Subject: Fuera de la oficina\r\nAuto-Submitted: auto-replied\r\n"
                 "In-Reply-To: " +
                     ids["P003-C1.html"] + "\r\n\r\nVuelvo el lunes.\r\n");
  buzon.Entregar("1765450004.M4P1.mx", "From: banco@example.com\r\nSubject: Su resumen\r\n\r\nHola.\r\n");
  buzon.Entregar("1765450005.M5P1.mx",
                 "From: x@example.net\r\nSubject: Re: otra cosa\r\n"
                 "In-Reply-To: <ajeno@example.net>\r\n\r\nNo.\r\n");
  const std::string antes = buzon.Archivos();

  auto revisar = [&] {
    return Esperar(Lanzar({programa_, "--revisar", "--ini=" + (app_ / "TM440kv.INI").string()}, Entorno()));
  };
  auto avisos = [&] {
    std::multiset<std::string> r;
    for (const auto& l : Diario())
      if (l.resultado != basic::kEntregaEnviado) r.insert(l.archivo + " " + l.resultado);
    return r;
  };
  ASSERT_EQ(revisar(), 0) << Log();
  const std::multiset<std::string> esperados = {"P001-A1.html REBOTADO", "P002-B1.html RESPONDIDO",
                                                "P003-C1.html RESPUESTA AUTOMATICA"};
  EXPECT_EQ(avisos(), esperados) << Log();
  for (const auto& l : Diario())
    if (l.resultado == "REBOTADO") EXPECT_EQ(l.detalle, "550 5.1.1 <prov@example.com>: User unknown");
  EXPECT_EQ(buzon.Archivos(), antes);  // no message moved, no flag (\\Seen included) set
  EXPECT_EQ(buzon.Registro().find("flag_change"), std::string::npos) << buzon.Registro();
  EXPECT_EQ(VecesEnLog(" | REVISADO | "), 1u) << Log();

  ASSERT_EQ(revisar(), 0) << Log();
  EXPECT_EQ(avisos(), esperados);
  EXPECT_EQ(buzon.Archivos(), antes);

  // P001 sent again (a new Message-ID); a late second bounce of its first mail does not
  // count: it is not the order's latest attempt.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the new attempt's lines come later
  const std::string adjunto = (envios_ / "09-12-2026" / "14.05.33" / "P001-A1.html").string();
  WriteBytes(adjunto, "<html><body>P001 otra vez</body></html>");
  WriteBytes(trabajo_, "DESTINATARIO=prov@example.com\r\nASUNTO=Orden\r\nMENSAJE=Adjunto OC\r\nARCHIVO=" +
                           adjunto + "\r\n");
  ASSERT_EQ(CorrerTrabajo(), 0) << Log();
  buzon.Entregar("1765450006.M6P1.mx",
                 "From: MAILER-DAEMON@mx.example.org\r\nSubject: Undelivered Mail Returned to Sender\r\n"
                 "MIME-Version: 1.0\r\nContent-Type: multipart/report; report-type=delivery-status; "
                 "boundary=\"C\"\r\n\r\n--C\r\nContent-Type: message/delivery-status\r\n\r\n"
                 "Reporting-MTA: dns; mx.example.org\r\n\r\nFinal-Recipient: rfc822; prov@example.com\r\n"
                 "Action: failed\r\nStatus: 5.1.1\r\n\r\n--C\r\nContent-Type: text/rfc822-headers\r\n\r\n"
                 "Message-ID: " +
                     ids["P001-A1.html"] + "\r\n\r\n--C--\r\n");
  ASSERT_EQ(revisar(), 0) << Log();
  EXPECT_EQ(avisos(), esperados);
}
