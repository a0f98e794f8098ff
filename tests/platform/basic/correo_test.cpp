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

// The domain is dot-separated labels of letters, digits and hyphens: a path or a key
// glued after an "@" is not an address.
TEST(Correo, DomainIsLabelsOfLettersDigitsAndHyphens) {
  const std::string local64(64, 'a'), local65(65, 'a');
  const std::pair<std::string, bool> casos[] = {
      {"ventas@acme.com", true},
      {"ventas@mail-1.acme.com.ar", true},
      {"ventas@localhost", true},
      {"ventas@łódź.pl", true},  // an international domain
      {"pedidos@例え.jp", true},
      {local64 + "@acme.com", true},
      {local65 + "@acme.com", false},
      {std::string(320, 'a') + "@acme.com", false},
      {"x@quot/../../../../home/x/.netrc", false},
      {"ARCHIVO=/usr/share/locale/en@quot/../../etc", false},
      {"a@b=c.com", false},
      {"a@b..com", false},
      {"a@.b.com", false},
      {"a@b.com.", false},
      {"a@-b.com", false},
      {"a@b-.com", false},
      {"a@b_c.com", false},
      {"a@b@c.com", false},
      {"a@[127.0.0.1]", false},
      {"a@b\xC2\xA0.com", false},      // no-break space
      {"a@b\xE2\x80\xA8.com", false},  // line separator
      {"a@b\xFF.com", false},          // not UTF-8
      {"a@" + std::string(64, 'b') + ".com", false},
  };
  for (const auto& [d, valida] : casos) EXPECT_EQ(DireccionCorreoValida(d), valida) << d;
}
