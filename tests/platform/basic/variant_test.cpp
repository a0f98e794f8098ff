#include <gtest/gtest.h>

#include "platform/basic/error.h"
#include "platform/basic/fecha.h"
#include "platform/basic/variant.h"
#include "regional_guard.h"

using namespace basic;

TEST(Variant, TextAsCStrGivesIt) {
  RegionalGuard guard;
  struct Caso {
    Variant v;
    const char* texto;
  };
  const Caso casos[] = {
      {Variant(), ""},
      {Variant::Null(), ""},
      {Variant("abc"), "abc"},
      {Variant(int16_t{-7}), "-7"},
      {Variant(int32_t{123456}), "123456"},
      {Variant(1234.5), "1234,5"},
      {Variant(0.1 + 0.2), "0,3"},
      {Variant(-0.25), "-0,25"},
      {Variant(3.0), "3"},
      {Variant(Moneda::DesdeDouble(12.5)), "12,5"},
      {Variant(Moneda::DesdeDouble(-0.0001)), "-0,0001"},
      {Variant(true), "Verdadero"},
      {Variant(false), "Falso"},
      {Variant::DeFecha(DateSerial(2026, 12, 9)), "09/12/2026"},
      {Variant::DeFecha(DateSerial(2026, 12, 9) + TimeSerial(14, 5, 33)), "09/12/2026 14:05:33"},
      {Variant::DeFecha(TimeSerial(8, 0, 0)), "08:00:00"},
  };
  for (const auto& c : casos) EXPECT_EQ(c.v.Texto(), c.texto) << static_cast<int>(c.v.Tipo());

  regional().separadorDecimal = ".";
  regional().fechaCorta = "d/m/yy";
  EXPECT_EQ(Variant(1234.5).Texto(), "1234.5");
  EXPECT_EQ(Variant::DeFecha(DateSerial(2026, 1, 2)).Texto(), "2/1/26");
}

TEST(Variant, TypesAndConversions) {
  EXPECT_EQ(Variant().Tipo(), TipoVariant::Empty);
  EXPECT_EQ(Variant::Null().Tipo(), TipoVariant::Null);
  EXPECT_EQ(Variant(int16_t{1}).Tipo(), TipoVariant::Integer);
  EXPECT_EQ(Variant(1).Tipo(), TipoVariant::Long);
  EXPECT_EQ(Variant(Moneda{}).Tipo(), TipoVariant::Currency);
  EXPECT_EQ(Variant::DeFecha(1).Tipo(), TipoVariant::Date);
  EXPECT_TRUE(Variant(true).EsNumerico());
  EXPECT_FALSE(Variant("1").EsNumerico());
  EXPECT_FALSE(Variant::DeFecha(1).EsNumerico());

  EXPECT_DOUBLE_EQ(Variant("12abc").Numero(), 12);
  EXPECT_DOUBLE_EQ(Variant(true).Numero(), -1);
  EXPECT_DOUBLE_EQ(Variant::Null().Numero(), 0);
  EXPECT_EQ(Variant(2.5).Entero(), 2);
  EXPECT_EQ(Variant(3.5).Entero(), 4);
  EXPECT_EQ(Variant(-2.5).Entero(), -2);
  EXPECT_THROW(Variant(3e10).Entero(), ErrorEjecucion);

  EXPECT_TRUE(Variant("Verdadero").Booleano());
  EXPECT_TRUE(Variant("TRUE").Booleano());
  EXPECT_FALSE(Variant("falso").Booleano());
  EXPECT_TRUE(Variant(int16_t{-1}).Booleano());
  EXPECT_FALSE(Variant(0.0).Booleano());

  EXPECT_DOUBLE_EQ(Variant("31/12/2024 12:00").AFecha(), 45657.5);
  EXPECT_DOUBLE_EQ(Variant(2.25).AFecha(), 2.25);
  EXPECT_THROW(Variant("31/02/2024").AFecha(), ErrorEjecucion);
  EXPECT_THROW(Variant::Null().AFecha(), ErrorEjecucion);

  EXPECT_EQ(Moneda::DesdeDouble(1.00005).escalado, 10000);  // half to even
  EXPECT_EQ(Moneda::DesdeDouble(-2.5).escalado, -25000);
  EXPECT_EQ(Variant("a"), Variant(std::string("a")));
  EXPECT_FALSE(Variant(1) == Variant(1.0));
}
