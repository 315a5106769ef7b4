// Number text, in one place: how numbers are shown in the window and how typed text is read.
// Everything follows the locale's decimal separator and never uses a group separator.
#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

namespace numtext {

// General decimal text with at most 7 significant digits, no trailing zeros, exponent form
// for magnitudes from 1E+07 up and below 1E-04.
QString floatText(float value, const QLocale& locale = QLocale());
// As floatText with at most 15 significant digits.
QString doubleText(double value, const QLocale& locale = QLocale());
// Plain decimal, leading minus when negative.
QString intText(int32_t value);
// Upper-case hexadecimal without leading zeros; a negative code as its 32-bit two's complement.
QString hexCode(int32_t code);

// Typed text to numbers. Empty, non-numeric, non-finite and out-of-range text gives nullopt.
std::optional<float> toFloat(const QString& text, const QLocale& locale = QLocale());
std::optional<double> toDouble(const QString& text, const QLocale& locale = QLocale());
// Rounds to the nearest integer, a half to the even neighbour ("2.5" gives 2, "3.5" gives 4).
std::optional<int32_t> toInt32(const QString& text, const QLocale& locale = QLocale());

}  // namespace numtext
