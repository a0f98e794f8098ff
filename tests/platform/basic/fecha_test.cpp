#include <gtest/gtest.h>

#include <cmath>

#include "platform/basic/error.h"
#include "platform/basic/fecha.h"
#include "regional_guard.h"

using namespace basic;

TEST(Fecha, SerialNumbersAreOleDates) {
  EXPECT_DOUBLE_EQ(DateSerial(1899, 12, 30), 0);
  EXPECT_DOUBLE_EQ(DateSerial(1900, 1, 1), 2);
  EXPECT_DOUBLE_EQ(DateSerial(2024, 12, 31), 45657);
  EXPECT_DOUBLE_EQ(DateSerial(2024, 13, 1), DateSerial(2025, 1, 1));
  EXPECT_DOUBLE_EQ(DateSerial(2024, 3, 0), DateSerial(2024, 2, 29));
  EXPECT_DOUBLE_EQ(DateSerial(24, 1, 1), DateSerial(2024, 1, 1));
  EXPECT_DOUBLE_EQ(DateSerial(99, 1, 1), DateSerial(1999, 1, 1));
  EXPECT_DOUBLE_EQ(TimeSerial(18, 0, 0), 0.75);
}

TEST(Fecha, PartsOfADate) {
  const Fecha f = DateSerial(2026, 12, 9) + TimeSerial(14, 5, 33);
  EXPECT_EQ(Year(f), 2026);
  EXPECT_EQ(Month(f), 12);
  EXPECT_EQ(Day(f), 9);
  EXPECT_EQ(Hour(f), 14);
  EXPECT_EQ(Minute(f), 5);
  EXPECT_EQ(Second(f), 33);
  EXPECT_EQ(Weekday(f), 4);     // Wednesday, counting from Sunday
  EXPECT_EQ(Weekday(f, 2), 3);  // counting from Monday
  // A time a hair below the next second rounds to it, not down.
  EXPECT_EQ(Second(DateSerial(2026, 1, 1) + TimeSerial(23, 59, 59) + 0.9999 / 86400), 0);
  // Before 1899 the time is a positive fraction after the minus sign.
  EXPECT_EQ(Day(-1.25), 29);
  EXPECT_EQ(Hour(-1.25), 6);
}

TEST(Fecha, DatesOutsideTheCalendarOverflow) {
  // 1/1/100 and 31/12/9999 23:59:59 are the ends; past them (and NaN) there is no
  // calendar day, and every date function raises 6 instead of converting out of range.
  EXPECT_EQ(Year(DateSerial(100, 1, 1)), 100);
  EXPECT_EQ(Year(DateSerial(9999, 12, 31) + TimeSerial(23, 59, 59)), 9999);
  for (const Fecha f : {1e20, -1e20, 2958466.0, -657435.0, std::nan("")}) {
    try {
      (void)Year(f);
      ADD_FAILURE() << f;
    } catch (const ErrorEjecucion& e) {
      EXPECT_EQ(e.Number, 6) << f;
    }
    EXPECT_THROW((void)Weekday(f), ErrorEjecucion) << f;
    EXPECT_THROW((void)DateDiff("d", 0, f), ErrorEjecucion) << f;
    EXPECT_THROW((void)ATm(f), ErrorEjecucion) << f;
  }
}

TEST(Fecha, IsDateUnderTheRegionalShortDate) {
  RegionalGuard guard;
  struct Caso {
    const char* texto;
    bool esFecha;
  };
  const Caso casos[] = {
      {"31/12/2024", true},
      {"1/2/24", true},
      {"09-12-2026", true},
      {"09.12.2026", true},
      {" 31/12/2024 ", true},
      {"29/02/2024", true},
      {"31/12/2024 14:05", true},
      {"31/12/2024 14:05:33", true},
      {"31/12/2024 2:05 PM", true},
      {"2024-12-31", true},
      {"31/02/2024", false},
      {"29/02/2023", false},
      {"32/01/2024", false},
      {"31/13/2024", false},
      {"00/01/2024", false},
      {"31/12", false},
      {"31-12/2024", false},
      {"31/12/202", false},
      {"", false},
      {"abc", false},
      {"31/12/2024 25:00", false},
      {"31/12/2024x", false},
      {"31/12/2024 14", false},
      {"14:05", false},
      {"12345", false},
  };
  for (const auto& c : casos) EXPECT_EQ(IsDate(c.texto), c.esFecha) << c.texto;
}

TEST(Fecha, CDateReadsDayFirstByDefault) {
  RegionalGuard guard;
  EXPECT_DOUBLE_EQ(CDate("09/12/2026"), DateSerial(2026, 12, 9));
  EXPECT_DOUBLE_EQ(CDate("9-12-26 14:05"), DateSerial(2026, 12, 9) + TimeSerial(14, 5, 0));
  EXPECT_DOUBLE_EQ(CDate("1/1/30"), DateSerial(1930, 1, 1));
  EXPECT_DOUBLE_EQ(CDate("1/1/29"), DateSerial(2029, 1, 1));
  EXPECT_DOUBLE_EQ(CDate("31/12/2024 12:30 AM"), DateSerial(2024, 12, 31) + TimeSerial(0, 30, 0));
  try {
    CDate("31/02/2024");
    FAIL();
  } catch (const ErrorEjecucion& e) {
    EXPECT_EQ(e.Number, 13);
  }
  regional().fechaCorta = "MM/dd/yyyy";
  EXPECT_DOUBLE_EQ(CDate("12/09/2026"), DateSerial(2026, 12, 9));
  EXPECT_FALSE(IsDate("31/12/2024"));
}

TEST(Fecha, CDateOfVariants) {
  EXPECT_DOUBLE_EQ(CDate(Variant::DeFecha(45000.5)), 45000.5);
  EXPECT_DOUBLE_EQ(CDate(Variant(45000.0)), 45000);
  EXPECT_DOUBLE_EQ(CDate(Variant("31/12/2024")), 45657);
  EXPECT_THROW(CDate(Variant::Null()), ErrorEjecucion);
  EXPECT_TRUE(IsDate(Variant::DeFecha(1)));
  EXPECT_FALSE(IsDate(Variant(1.0)));
}

TEST(Fecha, TmRoundTrip) {
  const Fecha f = DateSerial(2026, 3, 1) + TimeSerial(8, 9, 10);
  const std::tm t = ATm(f);
  EXPECT_EQ(t.tm_year, 126);
  EXPECT_EQ(t.tm_mon, 2);
  EXPECT_EQ(t.tm_mday, 1);
  EXPECT_EQ(t.tm_hour, 8);
  EXPECT_EQ(t.tm_yday, 59);
  EXPECT_EQ(t.tm_wday, 0);  // Sunday
  EXPECT_DOUBLE_EQ(FechaDesdeTm(t), f);
}

TEST(Fecha, DateAddAndDiff) {
  const Fecha f = DateSerial(2024, 1, 31) + TimeSerial(10, 0, 0);
  EXPECT_DOUBLE_EQ(DateAdd("m", 1, f), DateSerial(2024, 2, 29) + TimeSerial(10, 0, 0));
  EXPECT_DOUBLE_EQ(DateAdd("yyyy", -1, f), DateSerial(2023, 1, 31) + TimeSerial(10, 0, 0));
  EXPECT_DOUBLE_EQ(DateAdd("d", 1, f), f + 1);
  EXPECT_DOUBLE_EQ(DateAdd("h", 15, f), DateSerial(2024, 2, 1) + TimeSerial(1, 0, 0));
  EXPECT_EQ(DateDiff("d", DateSerial(2024, 1, 1), DateSerial(2024, 3, 1)), 60);
  EXPECT_EQ(DateDiff("m", DateSerial(2024, 1, 31), DateSerial(2024, 2, 1)), 1);
  EXPECT_EQ(DateDiff("yyyy", DateSerial(2024, 12, 31), DateSerial(2025, 1, 1)), 1);
  EXPECT_THROW(DateAdd("x", 1, f), ErrorEjecucion);
}
