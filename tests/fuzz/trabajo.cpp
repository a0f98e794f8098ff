// tspost's mail job (cfgMail.txt) and the command line that names it: any bytes parse
// without failing, and the recipients come out trimmed and non-empty.
#include "fuzz/apoyo.h"
#include "tspost.h"
#include "platform/basic/texto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const std::string texto = fuzz::Texto(datos, largo);
  const tspost::Trabajo t = tspost::ParsearTrabajo(texto);
  for (const std::string& d : t.destinatarios)
    fuzz::Exigir(!d.empty() && d == basic::RecortarEspacios(d), "destinatario vacío o con blancos");
  for (const std::string& a : t.archivos) fuzz::Exigir(!a.empty(), "archivo adjunto vacío");
  std::vector<std::string> args;
  for (size_t i = 0, j; i <= texto.size(); i = j + 1) {
    j = texto.find(' ', i);
    if (j == std::string::npos) j = texto.size();
    args.push_back(texto.substr(i, j - i));
  }
  (void)tspost::RutaDeArgumentos(args);
  return 0;
}
