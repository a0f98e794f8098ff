#pragma once
// Texts that compare equal, or not, without regard to case, as the suite's server
// compares them. The in-memory searches of the lists and the embedded database (=, LIKE
// 'x%', keys) must agree on every row.
namespace casos_sin_caso {

struct Caso {
  const char* guardado;  // the stored value
  const char* buscado;   // what is typed or compared with it
  bool igual;            // equal, and the stored value starts with it
};

inline constexpr Caso kCasos[] = {
    {"AÑASCO", "añasco", true},
    {"Añasco", "Anasco", false},  // accents are kept
    {"ÉL", "él", true},
    {"Mixto MAYÚS", "mIXTO mayús", true},
    {"ÀÖØÞ", "àöøþ", true},    // edges of the Latin-1 letters
    {"ŒUVRE", "œuvre", true},  // the letters of Windows-1252 past Latin-1
    {"škoda žilina", "ŠKODA ŽILINA", true},
    {"ŸVES", "ÿves", true},
    {"2×3", "2÷3", false},         // 0xD7 and 0xF7 are signs, not a pair
    {"Straße", "STRASSE", false},  // ß has no upper case of its own
    {"µ", "Μ", false},             // micro sign and Greek capital mu: no locale folding
    {"P004 ", "P004", true},       // trailing blanks are ignored
    {"P004  ", "p004", true},
};

}  // namespace casos_sin_caso
