#pragma once
// The classic text functions on UTF-8 text. Positions and lengths count characters,
// not bytes; positions are 1-based. Bytes that are not valid UTF-8 count as one
// character each and come back unchanged.
//
// compare: 0 = binary (exact), 1 = text (without regard to case, accents kept).
// Invalid arguments (a start below 1, a negative length) raise ErrorEjecucion 5.
#include <string>
#include <string_view>
#include <vector>

namespace basic {

constexpr int CompararBinario = 0;
constexpr int CompararTexto = 1;

// Characters as code points and back. An invalid byte b becomes 0xDC00 + b so that
// the round trip keeps it.
std::u32string ACodigos(const std::string& utf8);
std::string DeCodigos(const std::u32string& codigos);

// Blanks (' ') only; tabs and line ends stay.
std::string Trim(const std::string& s);
std::string LTrim(const std::string& s);
std::string RTrim(const std::string& s);
// Any ASCII white space at both ends (blanks, tabs, line ends): keys and values read
// from files and connection strings.
std::string RecortarEspacios(const std::string& s);

// The case pairs of Windows-1252's letters, the only ones the suite's texts hold: ASCII,
// À-Þ/à-þ (not × ÷), Š/š, Œ/œ, Ž/ž, Ÿ/ÿ. No locale is consulted; any other character
// stays. Every comparison without regard to case folds through this one table: the text
// compare of the routines below, the searches of the lists in memory, and NOCASE and
// LIKE on the embedded database.
char32_t Mayuscula(char32_t c);
char32_t Minuscula(char32_t c);

// Upper/lower case by that table.
std::string UCase(const std::string& s);
std::string LCase(const std::string& s);

// UCase for searching: every pair has the same UTF-8 length, so an offset found in the
// folded text holds in the original.
std::string PlegarMayusculas(std::string_view texto);

// Order without regard to case: character by character, each folded to lower case by
// the table (ASCII thus orders as SQLite's own NOCASE). -1, 0 or 1; trailing blanks count.
int CompararSinCaso(std::string_view a, std::string_view b);

int Len(const std::string& s);
std::string Left(const std::string& s, int n);
std::string Right(const std::string& s, int n);
// Mid(s, start, -1) = from start to the end.
std::string Mid(const std::string& s, int start, int length = -1);

// Position of buscado in s from start, 0 when absent. An empty buscado gives start
// (0 when s is empty or start is past its end).
int InStr(int start, const std::string& s, const std::string& buscado, int compare = 0);
int InStr(const std::string& s, const std::string& buscado, int compare = 0);
// Search backwards from start (-1 = last character).
int InStrRev(const std::string& s, const std::string& buscado, int start = -1, int compare = 0);

// As the classic Replace: the result starts at position start (the part before it is
// dropped); count -1 replaces every occurrence.
// A value for a '...' SQL literal: each quote doubled, so typed text cannot end the literal.
std::string DoblarComillas(const std::string& s);
std::string Replace(const std::string& s, const std::string& buscado, const std::string& nuevo, int start = 1,
                    int count = -1, int compare = 0);

// -1, 0 or 1.
int StrComp(const std::string& a, const std::string& b, int compare = 0);
bool IgualesSinCaso(const std::string& a, const std::string& b);

std::string Space(int n);
// n copies of the first character of ch (ch must not be empty).
std::string String(int n, const std::string& ch);
// n copies of the character with that Windows-1252 code.
std::string String(int n, int codigo);

// Split("", ...) gives no element, as the classic one. limit -1 = no limit.
std::vector<std::string> Split(const std::string& s, const std::string& delimitador = " ", int limit = -1,
                               int compare = 0);
std::string Join(const std::vector<std::string>& partes, const std::string& delimitador = " ");

// Windows-1252 code of the first character ('?' = 63 for a character outside it);
// Chr gives the UTF-8 text of a Windows-1252 code (0-255).
int Asc(const std::string& s);
std::string Chr(int codigo);

// Text from outside (an address, a server reply, a file name) fit for one line of a log or
// a message: control characters are shown as \r, \n, \t, \0 or \xNN (C1 controls and the
// Unicode line separators as \uNNNN), so a value never breaks a line.
std::string TextoVisible(const std::string& s);
// Whether the text holds a control character that TextoVisible would show escaped.
bool TieneControl(const std::string& s);
// Length of the control character starting at s[i] (0 when there is none): a C0 byte or DEL,
// or the UTF-8 of a C1 control (U+0080-U+009F) or of U+2028/U+2029.
size_t LargoControl(const std::string& s, size_t i);

}  // namespace basic
