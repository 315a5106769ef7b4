#include "number_text.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace numtext {
namespace {

QString generalText(double value, int digits, QLocale locale) {
  if (value == 0.0) value = 0.0;  // never show "-0"
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale.toString(value, 'g', digits);
}

std::optional<double> parseFinite(const QString& text, QLocale locale) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  locale.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  const double value = locale.toDouble(trimmed, &ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

QString floatText(float value, const QLocale& locale) {
  return generalText(static_cast<double>(value), 7, locale);
}

QString doubleText(double value, const QLocale& locale) { return generalText(value, 15, locale); }

QString intText(int32_t value) { return QString::number(value); }

QString hexCode(int32_t code) { return QString::number(static_cast<uint32_t>(code), 16).toUpper(); }

std::optional<float> toFloat(const QString& text, const QLocale& locale) {
  const auto value = parseFinite(text, locale);
  if (!value || std::fabs(*value) > std::numeric_limits<float>::max()) return std::nullopt;
  return static_cast<float>(*value);
}

std::optional<double> toDouble(const QString& text, const QLocale& locale) {
  return parseFinite(text, locale);
}

std::optional<int32_t> toInt32(const QString& text, const QLocale& locale) {
  const auto value = parseFinite(text, locale);
  if (!value) return std::nullopt;
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(*value);
  std::fesetround(saved);
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
  return static_cast<int32_t>(rounded);
}

}  // namespace numtext
