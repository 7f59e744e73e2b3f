#include "diag/FloatText.h"

#include <cstdint>
#include <cstring>

namespace __dbg_util {
namespace {

constexpr int kSignificant = 6;  // "%g"'s precision
constexpr uint32_t kLimbBase = 1000000000;
constexpr uint32_t kPowersOf10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// A value's exact decimal digits as a whole number: limbs of nine digits, the lowest first.
// A double is a whole number times a power of two; with a negative power it is exactly
// that number times 5^k over 10^k, at most 767 digits.
class DecimalDigits {
 public:
  explicit DecimalDigits(uint64_t value) {
    do {
      m_limbs[m_count++] = static_cast<uint32_t>(value % kLimbBase);
      value /= kLimbBase;
    } while (value != 0);
  }

  void Multiply(uint32_t factor) {
    uint64_t carry = 0;
    for (int i = 0; i < m_count; ++i) {
      const uint64_t product = static_cast<uint64_t>(m_limbs[i]) * factor + carry;
      m_limbs[i] = static_cast<uint32_t>(product % kLimbBase);
      carry = product / kLimbBase;
    }
    while (carry != 0 && m_count < kMaxLimbs) {
      m_limbs[m_count++] = static_cast<uint32_t>(carry % kLimbBase);
      carry /= kLimbBase;
    }
  }

  int Count() const {
    int top = 1;
    while (top < 9 && m_limbs[m_count - 1] >= kPowersOf10[top]) ++top;
    return 9 * (m_count - 1) + top;
  }

  // The digit `place` places above the lowest one.
  int At(int place) const { return static_cast<int>(m_limbs[place / 9] / kPowersOf10[place % 9] % 10); }

  // True when a digit below `place` is not zero.
  bool AnyBelow(int place) const {
    for (int p = 0; p < place; ++p)
      if (At(p) != 0) return true;
    return false;
  }

 private:
  static constexpr int kMaxLimbs = 90;
  uint32_t m_limbs[kMaxLimbs];
  int m_count = 0;
};

void AppendExponent(TextBuffer& out, int exponent) {
  out.AppendChar(exponent < 0 ? '-' : '+');
  const unsigned magnitude = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
  char text[4];
  int n = 0;
  for (unsigned rest = magnitude; rest != 0 || n < 2; rest /= 10) text[n++] = static_cast<char>('0' + rest % 10);
  while (n > 0) out.AppendChar(text[--n]);
}

}  // namespace

void AppendGeneralFloat(TextBuffer& out, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = static_cast<int>(bits >> 52 & 0x7FF);
  uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
  if (bits >> 63) out.AppendChar('-');
  if (biased == 0x7FF) {
    out.Append(mantissa != 0 ? "nan" : "inf");
    return;
  }
  if (biased == 0 && mantissa == 0) {
    out.AppendChar('0');
    return;
  }
  // value = mantissa * 2^exponent
  int exponent = -1074;
  if (biased != 0) {
    mantissa |= uint64_t{1} << 52;
    exponent = biased - 1075;
  }
  while ((mantissa & 1) == 0) {
    mantissa >>= 1;
    ++exponent;
  }
  DecimalDigits digits(mantissa);
  int fraction = 0;  // value = digits / 10^fraction
  for (int e = exponent; e > 0; e -= 31) digits.Multiply(uint32_t{1} << (e < 31 ? e : 31));
  if (exponent < 0) {
    fraction = -exponent;
    constexpr uint32_t kFivePower13 = 1220703125;
    for (int e = fraction; e > 0; e -= 13) {
      uint32_t factor = kFivePower13;
      if (e < 13) {
        factor = 1;
        for (int i = 0; i < e; ++i) factor *= 5;
      }
      digits.Multiply(factor);
    }
  }

  // The six leading digits, rounded half to even on the exact value.
  const int count = digits.Count();
  int decimalExponent = count - 1 - fraction;
  uint32_t leading = 0;
  for (int i = 0; i < kSignificant; ++i) leading = leading * 10 + (i < count ? digits.At(count - 1 - i) : 0);
  const int next = count > kSignificant ? digits.At(count - 1 - kSignificant) : 0;
  const bool beyond = count > kSignificant + 1 && digits.AnyBelow(count - 1 - kSignificant);
  if (next > 5 || (next == 5 && (beyond || (leading & 1) != 0))) {
    if (++leading == kPowersOf10[kSignificant]) {
      leading = kPowersOf10[kSignificant - 1];
      ++decimalExponent;
    }
  }
  char text[kSignificant];
  for (int i = kSignificant - 1; i >= 0; --i, leading /= 10) text[i] = static_cast<char>('0' + leading % 10);
  int shown = kSignificant;
  while (shown > 1 && text[shown - 1] == '0') --shown;

  if (decimalExponent < -4 || decimalExponent >= kSignificant) {
    out.AppendChar(text[0]);
    if (shown > 1) {
      out.AppendChar('.');
      out.Append(text + 1, static_cast<size_t>(shown - 1));
    }
    out.AppendChar('e');
    AppendExponent(out, decimalExponent);
  } else if (decimalExponent >= 0) {
    const int whole = decimalExponent + 1;
    out.Append(text, static_cast<size_t>(whole));
    if (shown > whole) {
      out.AppendChar('.');
      out.Append(text + whole, static_cast<size_t>(shown - whole));
    }
  } else {
    out.Append("0.");
    for (int i = -1; i > decimalExponent; --i) out.AppendChar('0');
    out.Append(text, static_cast<size_t>(shown));
  }
}

}  // namespace __dbg_util
