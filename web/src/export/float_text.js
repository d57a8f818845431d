// A float as the batch tool's writers print it (C++'s std::to_chars of a
// float, no format given): the fewest significant digits that read back as
// the same single-precision value, the nearest such to it (ties to even),
// written in fixed or scientific notation, whichever is shorter, fixed on a
// tie (where fixed notation has no point, the float's own integer). Exact: the double arithmetic decides where it can; where a decimal
// meets a bound of the float's rounding interval, or two decimals are in
// it, BigInts decide.

const bits = new Uint32Array(1);
const value = new Float32Array(bits.buffer);

// The decimal digits and power of ten of value.toPrecision(n): [D, E] for
// D·10^E.
function decimal(v, n) {
  const text = v.toPrecision(n);
  const e = text.indexOf('e');
  let mantissa = e < 0 ? text : text.slice(0, e);
  let exponent = e < 0 ? 0 : Number(text.slice(e + 1));
  const point = mantissa.indexOf('.');
  if (point >= 0) {
    exponent -= mantissa.length - point - 1;
    mantissa = mantissa.slice(0, point) + mantissa.slice(point + 1);
  }
  return [Number(mantissa), exponent];
}

// Compares D·10^E with N·2^P exactly: -1, 0 or 1.
function compareExact(D, E, N, P) {
  let a = BigInt(D);
  let b = BigInt(N);
  if (E >= 0) a *= 10n ** BigInt(E);
  else b *= 10n ** BigInt(-E);
  if (P >= 0) b *= 2n ** BigInt(P);
  else a *= 2n ** BigInt(-P);
  return a < b ? -1 : a > b ? 1 : 0;
}

// The float m·2^e's rounding interval, as numerators over 2^(e-2): low,
// value, high, and whether its ends belong to it.
function interval(m, e, lowerGapHalved) {
  const power = e - 2;
  return { low: 4 * m - (lowerGapHalved ? 1 : 2), high: 4 * m + 2, power, unit: 2 ** power, closed: m % 2 === 0 };
}

// Whether D·10^E lies in the interval.
function inside(D, E, r) {
  const x = Number(`${D}e${E}`);
  const low = r.low * 2 ** r.power;
  const high = r.high * 2 ** r.power;
  if (x > low && x < high) return true;
  if (x < low || x > high) return false;
  const c = x === low ? compareExact(D, E, r.low, r.power) : -compareExact(D, E, r.high, r.power);
  return c > 0 || (c === 0 && r.closed);
}

const POW10 = Array.from({ length: 23 }, (_, i) => 10 ** i);

// Whether the multiple t·p lies between low and high, at the ends when
// closed.
const fits = (t, p, low, high, closed) => {
  const x = t * p;
  return (x > low || (x === low && closed)) && (x < high || (x === high && closed));
};

// The same as shortest() in double arithmetic, for the floats from about
// 0.001 to 10^9, whose value, scaled by 10^k to nine digits before the
// point, and its interval's ends stay exact doubles; null for the others.
function scaled(v, r) {
  let k = 8 - Math.floor(Math.log10(v));
  if (k < -1 || k > 12) return null;
  let S = v * POW10[k];
  if (S >= 1e9) S = v * POW10[--k];
  else if (S < 1e8) S = v * POW10[++k];
  if (k < 0 || k > 11) return null;
  const unit = r.unit * POW10[k];
  const low = r.low * unit;
  const high = r.high * unit;
  const closed = r.closed;
  // The fewest digits: the coarsest grid of 10^j with a point inside (a
  // finer grid has one wherever a coarser has).
  const pointIn = (p) => {
    let c = Math.ceil(low / p);
    if (c * p < low) ++c;
    else if ((c - 1) * p >= low) --c;
    return fits(c, p, low, high, closed) || fits(c + 1, p, low, high, closed);
  };
  let j = 0;
  for (let top = 8; j < top; ) {
    const middle = (j + top + 1) >> 1;
    if (pointIn(POW10[middle])) j = middle;
    else top = middle - 1;
  }
  const p = POW10[j];
  // The nearest point of that grid inside, ties to even.
  let below = Math.floor(S / p);
  if (below * p > S) --below;
  else if ((below + 1) * p <= S) ++below;
  let t = below;
  if (!fits(below, p, low, high, closed)) t = below + 1;
  else if (fits(below + 1, p, low, high, closed)) {
    const d = S - below * p - ((below + 1) * p - S);
    if (d > 0 || (d === 0 && below % 2)) t = below + 1;
  }
  return [t, j - k];
}

// The shortest decimal in the interval r around v = m·2^e: [D, E].
function shortest(v, m, r) {
  // The decimals of n digits on either side of v: the nearest, and its
  // neighbour on the other side (below a power of ten, a digit finer).
  const around = (n) => {
    const [D, E] = decimal(v, n);
    const x = Number(`${D}e${E}`);
    let other = [D + 1, E];
    if (x > v || (x === v && compareExact(D, E, 4 * m, r.power) > 0))
      other = D === 10 ** (n - 1) ? [10 ** n - 1, E - 1] : [D - 1, E];
    return [
      [D, E, inside(D, E, r)],
      [...other, inside(...other, r)],
    ];
  };
  let low = 1;
  let high = 9;
  while (low < high) {
    const n = (low + high) >> 1;
    const [a, b] = around(n);
    if (a[2] || b[2]) high = n;
    else low = n + 1;
  }
  const [a, b] = around(low);
  if (!(a[2] && b[2])) return a[2] ? a : b;
  // Both: the nearer, or on a tie the even one.
  const gap = (c) => {
    let x = BigInt(c[0]);
    let y = BigInt(4 * m);
    if (c[1] >= 0) x *= 10n ** BigInt(c[1]);
    else y *= 10n ** BigInt(-c[1]);
    if (r.power >= 0) y *= 2n ** BigInt(r.power);
    else x *= 2n ** BigInt(-r.power);
    return x > y ? x - y : y - x;
  };
  const ga = gap(a);
  const gb = gap(b);
  if (ga !== gb) return ga < gb ? a : b;
  return a[0] % 2 === 0 ? a : b;
}

// The text of v, whose shortest decimal is D·10^E, in the shorter
// notation. Fixed notation without a point has as many characters for any
// integer of v's length, and the nearest of them is v itself.
function text(v, D, E) {
  let digits = String(D);
  while (digits.length > 1 && digits.endsWith('0')) {
    digits = digits.slice(0, -1);
    ++E;
  }
  const n = digits.length;
  const x = E + n - 1;
  const scientific = `${digits[0]}${n > 1 ? `.${digits.slice(1)}` : ''}e${x < 0 ? '-' : '+'}${String(Math.abs(x)).padStart(2, '0')}`;
  let fixed;
  if (E >= 0) fixed = String(v);
  else if (n + E > 0) fixed = `${digits.slice(0, n + E)}.${digits.slice(n + E)}`;
  else fixed = `0.${'0'.repeat(-(n + E))}${digits}`;
  return fixed.length <= scientific.length ? fixed : scientific;
}

// The text of the float whose bits are given.
export function floatBitsText(floatBits) {
  const sign = floatBits >>> 31 ? '-' : '';
  const field = (floatBits >>> 23) & 0xff;
  const fraction = floatBits & 0x7fffff;
  if (field === 0xff) return fraction ? `${sign}nan` : `${sign}inf`;
  if (field === 0 && fraction === 0) return `${sign}0`;
  const m = field ? fraction | 0x800000 : fraction;
  const e = (field || 1) - 150;
  const r = interval(m, e, field > 1 && fraction === 0);
  const v = m * 2 ** e;
  const [D, E] = scaled(v, r) || shortest(v, m, r);
  return sign + text(m * 2 ** e, D, E);
}

// The text of a float given as a number (which must be one).
export function floatText(v) {
  value[0] = v;
  return floatBitsText(bits[0]);
}
