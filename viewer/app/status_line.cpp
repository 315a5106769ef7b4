#include "app/status_line.h"

#include <QLocale>
#include <array>
#include <cmath>
#include <limits>

namespace kelvor::view {

namespace {

constexpr int kNumberWidth = 8;  // "-170.00": columns stay put while the numbers change

QString number(double v) {
  if (!std::isfinite(v)) return QStringLiteral("%1").arg(QStringLiteral("-"), kNumberWidth);
  if (std::abs(v) < 0.005) v = 0;  // no "-0.00"
  return QStringLiteral("%1").arg(QLocale().toString(v, 'f', 2), kNumberWidth);
}

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

QString jointsLine(const Reading& r) {
  QStringList parts;
  for (int i = 0; i < robot::kAxes; ++i) {
    const double j = r.known ? r.state.joints[std::size_t(i)] : kUnknown;
    parts << QStringLiteral("J%1 %2").arg(i + 1).arg(number(j));
  }
  return parts.join(QStringLiteral("  "));
}

QString poseLine(const Reading& r, const ArmModel& m) {
  if (r.known && !m.pose) return QString::fromStdString(m.problem);
  robot::PArray p;
  p.fill(kUnknown);
  if (r.known) p = robot::toP(*m.pose);
  static const std::array<const char*, 6> kNames{"X", "Y", "Z", "Rx", "Ry", "Rz"};
  QStringList parts;
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    parts << QStringLiteral("%1 %2").arg(QLatin1String(kNames[i])).arg(number(p[i]));
  }
  parts << (r.known ? QStringLiteral("Fig %1").arg(m.pose->fig) : QStringLiteral("Fig -"));
  QString line = parts.join(QStringLiteral("  "));
  if (r.known && !m.problem.empty())
    line += QStringLiteral("  (%1)").arg(QString::fromStdString(m.problem));
  return line;
}

QString stateLine(const Reading& r) {
  const ControllerState& s = r.state;
  QStringList parts;
  if (s.motor) parts << (*s.motor == 1 ? QStringLiteral("Motor on") : QStringLiteral("Motor off"));
  if (s.mode) parts << modeName(*s.mode);
  if (s.motion) parts << (*s.motion == 1 ? QStringLiteral("moving") : QStringLiteral("standing"));
  if (s.error) {
    if (*s.error == 0) {
      parts << QStringLiteral("No error");
    } else {
      parts << QStringLiteral("Error 0x%1 %2")
                   .arg(static_cast<quint32>(*s.error), 0, 16)
                   .arg(QString::fromStdString(s.errorText))
                   .trimmed();
    }
  }
  if (!r.problem.empty()) parts << QStringLiteral("(%1)").arg(QString::fromStdString(r.problem));
  return parts.join(QStringLiteral("   "));
}

}  // namespace

QString modeName(int mode) {
  static const std::array<const char*, 4> kModes{"Manual", "Teach", "Internal Auto",
                                                 "External Auto"};
  if (mode >= 1 && mode <= 4) return QLatin1String(kModes[std::size_t(mode - 1)]);
  return QStringLiteral("Mode %1").arg(mode);
}

QStringList statusLines(const Reading& r, const ArmModel& m, const QString& connection) {
  if (!r.connected) {
    QString why = QStringLiteral("not connected to %1").arg(connection);
    if (!r.problem.empty()) why += QStringLiteral(": %1").arg(QString::fromStdString(r.problem));
    if (r.retryIn > 0) {
      why += QStringLiteral("; next try in %1 s").arg(QLocale().toString(r.retryIn, 'g', 3));
    }
    if (r.serial == 0) why = QStringLiteral("connecting to %1").arg(connection);
    return {jointsLine(r), poseLine(r, m), why};
  }
  return {jointsLine(r), poseLine(r, m), stateLine(r)};
}

}  // namespace kelvor::view
