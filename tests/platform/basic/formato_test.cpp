#include <gtest/gtest.h>

#include "platform/basic/error.h"
#include "platform/basic/fecha.h"
#include "platform/basic/formato.h"
#include "platform/basic/numero.h"
#include "regional_guard.h"

using namespace basic;

namespace {
const Fecha kTarde = DateSerial(2026, 12, 9) + TimeSerial(14, 5, 33);
const Fecha kManana = DateSerial(2024, 1, 2) + TimeSerial(7, 8, 9);
}  // namespace

TEST(Formato, DatePatternsOfTheSystem) {
  struct Caso {
    Fecha f;
    const char* patron;
    const char* esperado;
  };
  const Caso casos[] = {
      {kTarde, "dd/mm/yy hh:mm", "09/12/26 14:05"},
      {kTarde, "dd/mm/yy", "09/12/26"},
      {kTarde, "hh:mm", "14:05"},
      {kTarde, "mm-dd-yyyy", "12-09-2026"},
      {kTarde, "hh:mm:ss", "14:05:33"},
      {kTarde, "DD/MM/YYYY", "09/12/2026"},
      {kTarde, "dd-mm-yyyy", "09-12-2026"},
      {kTarde, "hh.mm.ss", "14.05.33"},
      {kTarde, "yyyymmdd", "20261209"},
      {kTarde, "HH:MM", "14:05"},
      {kTarde, "d/m/yyyy h:n:s", "9/12/2026 14:5:33"},
      {kManana, "mm/ss", "08/09"},  // minutes before seconds
      {kManana, "General Date", "02/01/2024 07:08:09"},
      {kManana, "Short Date", "02/01/2024"},
      {kManana, "Short Time", "07:08"},
      {kManana, "hh:mm AM/PM", "07:08 AM"},
      {kTarde, "h:mm am/pm", "2:05 pm"},
      {kTarde, "dddd d \\de mmmm", "miércoles 9 de diciembre"},
      {kTarde, "ddd dd-mmm-yy", "mié 09-dic-26"},
      {kTarde, "\"Día\" dd", "Día 09"},
      {kTarde, "q", "4"},
      {DateSerial(2024, 12, 31), "General Date", "31/12/2024"},
      {TimeSerial(14, 5, 0), "General Date", "14:05:00"},
  };
  for (const auto& c : casos) EXPECT_EQ(FormatFecha(c.f, c.patron), c.esperado) << c.patron;
}

TEST(Formato, TextThatIsADateIsFormattedAsADate) {
  EXPECT_EQ(Format("31/12/2024", "mm-dd-yyyy"), "12-31-2024");
  EXPECT_EQ(Format("9/12/26 14:05", "DD/MM/YYYY hh:mm:ss"), "09/12/2026 14:05:00");
  EXPECT_EQ(Format("no es fecha", "dd/mm/yyyy"), "no es fecha");
  EXPECT_EQ(Format(Variant::DeFecha(kTarde), "dd/mm/yy hh:mm"), "09/12/26 14:05");
}

TEST(Formato, DatesFollowTheRegionalSettings) {
  RegionalGuard guard;
  regional().fechaCorta = "yyyy-mm-dd";
  regional().hora = "hh.nn";
  EXPECT_EQ(FormatFecha(kTarde, "General Date"), "2026-12-09 14.05");
  EXPECT_EQ(FormatFecha(kTarde, "Short Date"), "2026-12-09");
}

TEST(Formato, NumberPatterns) {
  struct Caso {
    double v;
    const char* patron;
    const char* esperado;
  };
  const Caso casos[] = {
      {1, "########0.00", "1.00"},
      {1234.567, "########0.00", "1234.57"},
      {0, "########0.00", "0.00"},
      {-3.5, "########0.00", "-3.50"},
      {2, "########0.0", "2.0"},
      {-1, "########0.0", "-1.0"},
      {1234567890123.0, "########0.0", "1234567890123.0"},
      {1.5, "0.######", "1.5"},
      {2, "0.######", "2"},
      {0.1234567, "0.######", "0.123457"},
      {2.675, "0.00", "2.68"},
      {2.5, "0", "3"},
      {-2.5, "0", "-3"},
      {-0.001, "0.00", "0.00"},
      {0.5, "#.##", ".5"},
      {1234567.891, "#,##0.00", "1,234,567.89"},
      {12, "000", "012"},
      {0.256, "0.0%", "25.6%"},
      {1234, "0.00E+00", "1.23E+03"},
      {0.00012, "0.0E-00", "1.2E-04"},
      {1234567, "#,##0,", "1,235"},
      {5, "\"$\"0.00", "$5.00"},
      {-5, "0.00;(0.00)", "(5.00)"},
      {0, "0.00;(0.00);\"cero\"", "cero"},
      {-5, "$0", "-$5"},
  };
  for (const auto& c : casos) EXPECT_EQ(Format(c.v, c.patron), c.esperado) << c.v << " " << c.patron;
}

TEST(Formato, NumberTextsAndRegionalOutput) {
  RegionalGuard guard;
  // A typed quantity in the regional form, or with a point.
  EXPECT_EQ(Format("1,5", "########0.00"), "1.50");
  EXPECT_EQ(Format("1.5", "########0.00"), "1.50");
  EXPECT_EQ(Format("abc", "########0.00"), "abc");
  EXPECT_EQ(Format(Variant::Null(), "0.00"), "");
  EXPECT_EQ(Format(Variant::Null(), "0;-0;0;\"nada\""), "nada");
  EXPECT_EQ(Format(Variant(), "0.00"), "");
  EXPECT_EQ(Format(true, "0"), "-1");
  EXPECT_EQ(FormatRegional(1234567.891, "#,##0.00"), "1.234.567,89");
  EXPECT_EQ(FormatRegional(1.5), "1,5");
  EXPECT_EQ(Format(1.5), "1.5");
  EXPECT_EQ(Format(1.5, "Fixed"), "1.50");
  EXPECT_EQ(Format(0, "Yes/No"), "No");
  // A number text beyond a Double is text, not a number that overflows.
  EXPECT_EQ(Format("1E400", "0.00"), "1E400");
  EXPECT_EQ(Format("-1e309", "#,##0"), "-1e309");
}

TEST(Formato, ValuesNoPatternCanWriteOverflow) {
  struct Caso {
    Variant valor;
    const char* patron;
  };
  const Caso casos[] = {
      // A report column of numbers given a date pattern, past the calendar.
      {Variant(1e20), "dd/mm/yyyy"},
      {Variant::DeFecha(-1e20), "dd/mm/yyyy"},
      {Variant("99999999999"), "dd/mm/yyyy"},
      // Infinity, as Val gives for "1E999", and a percentage past a Double.
      {Variant(Val("1E999")), "0.00"},
      {Variant(Val("-1E999")), "0.00E+00"},
      {Variant(1e307), "0%%%"},
  };
  for (const auto& c : casos) {
    try {
      const std::string texto = Format(c.valor, c.patron);
      ADD_FAILURE() << c.patron << " gave " << texto;
    } catch (const ErrorEjecucion& e) {
      EXPECT_EQ(e.Number, 6) << c.patron;
    }
  }
}

TEST(Formato, TextPatterns) {
  EXPECT_EQ(Format("abc", ">"), "ABC");
  EXPECT_EQ(Format("ÁRBOL", "<"), "árbol");
  EXPECT_EQ(Format("ab", "@@@@"), "  ab");
  EXPECT_EQ(Format("ab", "!@@@@"), "ab  ");
  EXPECT_EQ(Format("abcdef", "@@@"), "abcdef");
  EXPECT_EQ(Format("texto", ""), "texto");
}
