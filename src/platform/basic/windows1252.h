#pragma once
// The Windows-1252 code page, character by character.
namespace basic {

// Code point of a byte. The five bytes without a character (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the control code of the same value, as Windows does.
char32_t CodigoDeByte1252(unsigned char b);
// Byte of a code point, -1 when the character is not in Windows-1252.
int Byte1252DeCodigo(char32_t c);

}  // namespace basic
