// tspost's mail job (cfgMail.txt) and the command line that names it: any bytes parse
// without failing, the recipients come out trimmed and non-empty, no value holds a control
// character (a MENSAJE continuation's LF only splits lines), and every attachment of a job
// that is not refused lies inside the allowed folder once links and ".." are resolved.
// "@@" in the input stands for a private folder holding:
//   permitida/ok.html, permitida/enlace -> ../fuera, permitida/secreto -> ../fuera/secreto,
//   fuera/secreto
#include <climits>
#include <cstdlib>

#include "fuzz/apoyo.h"
#include "platform/basic/texto.h"
#include "tspost.h"

namespace {

struct Arbol {
  std::string raiz, permitida, permitidaReal;
  Arbol() {
    namespace fs = std::filesystem;
    fuzz::Carpeta& c = fuzz::Carpeta::Unica();
    raiz = c.Ruta();
    permitida = c / "permitida";
    fs::create_directories(permitida);
    fs::create_directories(c / "fuera");
    fuzz::Escribir(permitida + "/ok.html", "<p>ok</p>");
    fuzz::Escribir(c / "fuera/secreto", "secreto");
    std::error_code ec;
    fs::create_directory_symlink("../fuera", permitida + "/enlace", ec);
    fs::create_symlink("../fuera/secreto", permitida + "/secreto", ec);
    char real[PATH_MAX];
    fuzz::Exigir(::realpath(permitida.c_str(), real) != nullptr, "carpeta permitida");
    permitidaReal = real;
  }
};

std::string Sustituir(std::string texto, const std::string& raiz) {
  for (size_t p = 0; (p = texto.find("@@", p)) != std::string::npos; p += raiz.size())
    texto.replace(p, 2, raiz);
  return texto;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  static const Arbol arbol;
  const std::string texto = Sustituir(fuzz::Texto(datos, largo), arbol.raiz);
  const tspost::Trabajo t = tspost::ParsearTrabajo(texto);
  for (const std::string& d : t.destinatarios) {
    fuzz::Exigir(!d.empty() && d == basic::RecortarEspacios(d), "destinatario vacío o con blancos");
    fuzz::Exigir(!basic::TieneControl(d), "destinatario con caracteres de control");
  }
  fuzz::Exigir(!basic::TieneControl(t.destinatarioTexto), "DESTINATARIO con caracteres de control");
  fuzz::Exigir(!basic::TieneControl(t.asunto), "asunto con caracteres de control");
  for (const std::string& l : t.lineasMensaje)
    fuzz::Exigir(!basic::TieneControl(l), "línea del mensaje con caracteres de control");
  for (const std::string& a : t.archivos) {
    fuzz::Exigir(!a.empty(), "archivo adjunto vacío");
    fuzz::Exigir(!basic::TieneControl(a), "archivo adjunto con caracteres de control");
  }
  fuzz::Exigir(t.rechazo.empty() || t.destinatarios.empty(), "un trabajo rechazado conserva destinatarios");

  if (tspost::RechazoDelTrabajo(t, {arbol.permitida}).empty()) {
    for (const std::string& a : t.archivos) {
      fuzz::Exigir(a.front() == '/', "adjunto aceptado con ruta relativa");
      // Checked apart from the program's own resolution: realpath of what exists.
      char real[PATH_MAX];
      if (::realpath(a.c_str(), real) == nullptr) continue;  // nothing there to attach
      const std::string r = real;
      fuzz::Exigir(r.size() > arbol.permitidaReal.size() + 1 &&
                       r.compare(0, arbol.permitidaReal.size() + 1, arbol.permitidaReal + "/") == 0,
                   "adjunto aceptado fuera de la carpeta permitida");
    }
  }

  std::vector<std::string> args;
  for (size_t i = 0, j; i <= texto.size(); i = j + 1) {
    j = texto.find(' ', i);
    if (j == std::string::npos) j = texto.size();
    args.push_back(texto.substr(i, j - i));
  }
  (void)tspost::RutaDeArgumentos(args);
  return 0;
}
