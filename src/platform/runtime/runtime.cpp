// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/runtime.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace platform {

RuntimeError::RuntimeError(Number number) : number_(number), what_(message().toUtf8()) {}

QString RuntimeError::message() const {
  switch (number_) {
    case Overflow:
      return QStringLiteral("Überlauf");
    case OutOfMemory:
      return QStringLiteral("Nicht genügend Speicher");
    case InvalidPropertyValue:
      return QStringLiteral("Unzulässiger Eigenschaftswert");
  }
  return QStringLiteral("Anwendungs- oder objektdefinierter Fehler");
}

const char* RuntimeError::what() const noexcept {
  return what_.constData();
}

namespace {

bool isBlank(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}

// Decimal magnitude of a parsed number that from_chars found out of range: positive means the
// number is too large, otherwise it is too small and reads as zero.
long long decimalMagnitude(const std::string& mantissa, long long exponent) {
  const auto point = mantissa.find('.');
  const std::string intPart = mantissa.substr(0, point);
  const auto firstNonZero = intPart.find_first_not_of('0');
  if (firstNonZero != std::string::npos) {
    return exponent + static_cast<long long>(intPart.size() - firstNonZero);
  }
  const std::string fraction =
      point == std::string::npos ? std::string() : mantissa.substr(point + 1);
  const auto lead = fraction.find_first_not_of('0');
  return exponent - static_cast<long long>(lead == std::string::npos ? 0 : lead);
}

}  // namespace

double Val(QStringView text) {
  qsizetype pos = 0;
  const qsizetype size = text.size();
  while (pos < size && isBlank(text[pos])) ++pos;

  bool negative = false;
  if (pos < size && (text[pos] == u'+' || text[pos] == u'-')) {
    negative = text[pos] == u'-';
    ++pos;
  }

  std::string mantissa;
  qsizetype digits = 0;
  while (pos < size && isDigit(text[pos])) {
    mantissa += static_cast<char>(text[pos++].unicode());
    ++digits;
  }
  if (pos < size && text[pos] == u'.') {
    mantissa += '.';
    ++pos;
    while (pos < size && isDigit(text[pos])) {
      mantissa += static_cast<char>(text[pos++].unicode());
      ++digits;
    }
  }
  if (digits == 0) return 0.0;

  // The exponent counts only when at least one digit follows its letter and sign.
  std::string exponentText;
  if (pos < size && (text[pos] == u'e' || text[pos] == u'E')) {
    qsizetype p = pos + 1;
    std::string candidate;
    if (p < size && (text[p] == u'+' || text[p] == u'-')) {
      candidate += static_cast<char>(text[p].unicode());
      ++p;
    }
    const qsizetype firstDigit = p;
    while (p < size && isDigit(text[p])) candidate += static_cast<char>(text[p++].unicode());
    if (p > firstDigit) exponentText = candidate;
  }

  std::string number = mantissa;
  if (!exponentText.empty()) number += 'e' + exponentText;

  double value = 0.0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                         std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    long long exponent = 0;
    if (!exponentText.empty()) {
      // Clamp absurd exponents; only their sign and rough size matter here.
      const std::string digitsOnly =
          exponentText.substr(exponentText[0] == '+' || exponentText[0] == '-');
      exponent = digitsOnly.size() > 12 ? 1'000'000'000'000LL : std::stoll(digitsOnly);
      if (exponentText[0] == '-') exponent = -exponent;
    }
    if (decimalMagnitude(mantissa, exponent) > 0) throw RuntimeError(RuntimeError::Overflow);
    value = 0.0;
  } else if (ec != std::errc()) {
    return 0.0;
  }
  (void)end;
  return negative ? -value : value;
}

namespace {

template <typename T>
QString strOf(T value) {
  std::array<char, 64> buffer{};
  const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  (void)ec;  // 64 characters hold every integer, float and double
  QString text = QString::fromLatin1(buffer.data(), end - buffer.data());
  if (!text.startsWith(u'-')) text.prepend(u' ');
  return text;
}

}  // namespace

QString Str(std::int16_t value) {
  return strOf(value);
}
QString Str(float value) {
  return strOf(value);
}
QString Str(double value) {
  return strOf(value);
}

std::int16_t CInt(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
        rounded <= std::numeric_limits<std::int16_t>::max())) {
    throw RuntimeError(RuntimeError::Overflow);
  }
  return static_cast<std::int16_t>(rounded);
}

std::int16_t add16(std::int16_t a, std::int16_t b) {
  return CInt(int{a} + int{b});
}
std::int16_t sub16(std::int16_t a, std::int16_t b) {
  return CInt(int{a} - int{b});
}

double checkedFloat(double value) {
  if (!std::isfinite(value)) throw RuntimeError(RuntimeError::Overflow);
  return value;
}

}  // namespace platform
