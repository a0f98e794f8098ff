// The reader of bounces and replies of the sender's mailbox: any bytes read without
// failing, and never a notice for a Message-ID that is not in the journal given to it (the
// journal here: two fixed IDs, and one more taken from the input's first line).
#include <set>
#include <string>

#include "avisos.h"
#include "fuzz/apoyo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const std::string texto = fuzz::Texto(datos, largo);
  std::set<std::string> nuestros = {"<1765450000.4242.1@empresa.example.com>", "<a@b>"};
  const size_t fin = texto.find('\n');
  if (fin != std::string::npos && fin > 2 && texto[0] == '<' && texto[fin - 1] == '>')
    nuestros.insert(texto.substr(0, fin));
  for (const tspost::Aviso& a : tspost::LeerAviso(texto, nuestros)) {
    fuzz::Exigir(nuestros.count(a.messageId) == 1, "un aviso para un Message-ID que no es nuestro");
    fuzz::Exigir(a.tipo != tspost::TipoAviso::Ninguno, "un aviso sin tipo");
  }
  return 0;
}
