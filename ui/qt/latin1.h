// Text crosses the GUI contract as 8-bit bytes, one byte to one character.
// These two conversions are the only place the Qt backend turns contract
// text into QString and back; file paths use the file system's encoding
// instead (QFile::decodeName / encodeName).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace ui::qt {

inline QString FromBytes(std::string_view bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A character without a Latin-1 byte becomes "?".
inline std::string ToBytes(const QString& text) {
  QByteArray latin1 = text.toLatin1();
  return std::string(latin1.constData(), static_cast<std::size_t>(latin1.size()));
}

// How a byte is shown in a text box: control characters as their control
// pictures (a NUL as U+2400), a tab as a blank, everything else as Latin-1.
// One character for each byte, so places in the text and on screen agree.
inline QChar ShownCharacter(unsigned char byte) {
  if (byte == '\t') return QLatin1Char(' ');
  if (byte < 0x20) return QChar(0x2400 + byte);
  if (byte == 0x7F) return QChar(0x2421);
  return QChar(byte);
}

}  // namespace ui::qt
