#include "platform/basic/correo.h"

#include <gtest/gtest.h>

using namespace basic;

namespace {

struct CasoDestinatario {
  std::string campo;
  std::vector<std::string> partes;
  std::vector<bool> validas;  // DireccionCorreoValida of each part
};

}  // namespace

// A recipient field as the dispatch and the mail program both read it.
TEST(Correo, RecipientFieldIsSplitAndEachAddressChecked) {
  const std::vector<CasoDestinatario> casos = {
      {"prov@example.com", {"prov@example.com"}, {true}},
      {"a@b.com; c@d.com", {"a@b.com", "c@d.com"}, {true, true}},
      {"a@b.com,,", {"a@b.com"}, {true}},
      {" a@b.com ;\tc@d.com , e@f.com ", {"a@b.com", "c@d.com", "e@f.com"}, {true, true, true}},
      {" ; , ", {}, {}},
      {"", {}, {}},
      {"ventas proveedor", {"ventas proveedor"}, {false}},
      {"ventas@", {"ventas@"}, {false}},
      {"@empresa.com", {"@empresa.com"}, {false}},
      {"Juan <a@b.com>", {"Juan <a@b.com>"}, {false}},
      {"a@b.com\r\nBcc: x@y.com", {"a@b.com\r\nBcc: x@y.com"}, {false}},
      {"a@b.com\nc@d.com; e@f.com", {"a@b.com\nc@d.com", "e@f.com"}, {false, true}},
      {"a@b.com\r\n", {"a@b.com"}, {true}},  // line end at the edge is trimmed away
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.campo);
    const std::vector<std::string> partes = DividirDirecciones(c.campo);
    ASSERT_EQ(partes, c.partes);
    for (size_t i = 0; i < partes.size(); ++i)
      EXPECT_EQ(DireccionCorreoValida(partes[i]), c.validas[i]) << partes[i];
  }
}

// Line ends or separators inside one address would let it carry a header or a second
// recipient into the SMTP envelope.
TEST(Correo, AddressWithLineEndsOrSeparatorsIsNotValid) {
  const std::vector<std::string> malas = {"a@b.com\r", "a\n@b.com", std::string("a@b\0.com", 8),
                                          "a@b.com,c@d.com", "a@b.com;c@d.com"};
  for (const auto& d : malas) EXPECT_FALSE(DireccionCorreoValida(d)) << d;
}
