#include "measurement/CurveCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace
{
constexpr uint8_t kMagic1 = 0xC5;
constexpr uint8_t kMagic2 = 0xB0;
constexpr int kMaxStreamSize = 0x7FFF0000;
constexpr int kMaxSamples = 0x7FFF0000;
constexpr int kMaxCountInStream = 0xFFFF; // the count field holds 16 bits
constexpr int kMaxExponent = 7;           // the exponent field holds 3 bits: blocks up to 128
constexpr int kMaxBlock = 1 << kMaxExponent;
// An escaped value's field never needs more than 17 bits; a longer run of zero bits is garbage.
constexpr int kEscapeFieldLimit = 20;

struct BlockParams
{
    int16_t rise = 0;   // R: the next block's start minus this block's start
    int16_t middle = 0; // F: parabolic height in the middle of the block
    int16_t a = 0;      // A and B: cubic values at h - q and h + q
    int16_t b = 0;
};

uint64_t LowMask(int n)
{
    return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
}

// The low `bits` bits (1 to 32) of value as a signed number: the field's top bit lands on bit 31
// and the arithmetic shift copies it back down, without a branch.
int32_t SignExtend(uint32_t value, int bits)
{
    const int unused = 32 - bits;
    return static_cast<int32_t>(value << unused) >> unused;
}

// Width used by the width choice: the smallest x >= 1 with |v| < 2^(x - 1), taken on 16 bits
// (|v| modulo 2^16, doubled modulo 2^16), so -32768 counts as 1 and nothing as more than 16.
int ValueWidth(int32_t v)
{
    const int64_t magnitude = v < 0 ? -static_cast<int64_t>(v) : v;
    const uint32_t doubled = (static_cast<uint32_t>(magnitude & 0xFFFF) * 2u) & 0xFFFFu;
    return doubled == 0 ? 1 : std::bit_width(doubled);
}

// Calls run(from, to) for each run of positions [from, to) of a block of m samples that carry a
// residual, in stream order. The positions between the runs (the first sample, and the middle
// points of the parabolic and cubic predictors) come from the block's parameters instead. For
// predictors 2 and 3 the block must fit its predictor (PredictorFits); then the runs are in order
// and each run but the last ends at a parameter position inside the block.
template <typename Run> void ForEachResidualRun(int m, int predictor, Run run)
{
    int from = 0;
    auto runUntil = [&](int position)
    {
        run(from, position);
        from = position + 1;
    };
    if (predictor >= 1)
        runUntil(0);
    const int h = m / 2;
    if (predictor == 2)
        runUntil(h);
    else if (predictor == 3)
    {
        const int q = m / 6 + 1;
        runUntil(h - q);
        runUntil(h + q);
    }
    run(from, m);
}

// The residual width W that writes the values at the lowest estimated cost; values of a larger
// width cost 2x - 1 bits through the escape.
int ChooseCurveWidth(const int32_t* values, int count, int predictor)
{
    int64_t perWidth[17] = {};
    ForEachResidualRun(count, predictor,
                       [&](int from, int to)
                       {
                           for (int i = from; i < to; ++i)
                               ++perWidth[ValueWidth(values[i])];
                       });
    int widest = 0;
    for (int x = 1; x <= 16; ++x)
        if (perWidth[x] != 0)
            widest = x;
    const int limit = widest <= 4 ? 4 : widest <= 8 ? 8 : widest <= 12 ? 12 : 16;
    int best = 1;
    int64_t bestCost = -1;
    for (int w = 1; w <= limit; ++w)
    {
        int64_t cost = 0;
        for (int x = 1; x <= 16; ++x)
            cost += perWidth[x] * (x <= w ? w : 2 * x - 1);
        if (bestCost < 0 || cost < bestCost)
        {
            best = w;
            bestCost = cost;
        }
    }
    return best == 16 ? 15 : best; // the width field holds 4 bits
}

int ChooseCurveWidth(const int16_t* values, int count, int predictor)
{
    int32_t wide[kMaxBlock];
    for (int i = 0; i < count; ++i)
        wide[i] = values[i];
    return ChooseCurveWidth(wide, count, predictor);
}

bool PredictorFits(int exponent, int predictor)
{
    return exponent >= 0 && exponent <= kMaxExponent && predictor >= 0 && predictor <= 3 &&
           exponent >= predictor;
}

int64_t RoundedQuotient(int64_t x, int64_t den, int64_t half)
{
    return x >= 0 ? (x + half) / den : (x - half) / den;
}

void Subtract(int16_t& sample, int64_t amount)
{
    sample = static_cast<int16_t>(static_cast<int64_t>(sample) - amount);
}

// The linear amount of sample i (1 to m - 1; At(0) is no amount) for the rise R. Rounded as an
// accumulator that starts at |R| / 2m and adds |R| a sample, from the block's start for a rising
// block and from its end for a falling one, so that rising and falling blocks round alike. Each
// amount is written in closed form so that the loops over a block carry no state.
class LinearTrend
{
public:
    LinearTrend(int exponent, int16_t rise)
        : m_exponent(exponent), m_m(1 << exponent), m_rising(rise >= 0), m_rise(rise),
          m_up(m_rising ? rise : -static_cast<int32_t>(rise)), m_base(m_up >> (exponent + 1))
    {
    }
    int32_t At(int i) const
    {
        const int32_t steps = m_rising ? i : m_m - i;
        const int32_t amount = (m_base + steps * m_up) >> m_exponent;
        return m_rising ? amount : m_rise + amount;
    }

private:
    int m_exponent;
    int32_t m_m;
    bool m_rising;
    int32_t m_rise;
    int32_t m_up; // |R|
    int32_t m_base;
};

// The parabolic amount of sample i (0 to m - 1) for the height F in the middle of the block: F at
// the middle, 0 at the block's start, rounded to the nearest on |F|. Blocks of at least four.
class ParabolicTrend
{
public:
    ParabolicTrend(int exponent, int16_t middle)
        : m_h((1 << exponent) / 2), m_shift(2 * exponent - 2), m_e(int32_t{1} << m_shift),
          m_height(middle < 0 ? -static_cast<int32_t>(middle) : middle), m_negative(middle < 0)
    {
    }
    int32_t At(int i) const
    {
        const int32_t g = i - m_h;
        const int32_t t = ((m_e - g * g) * m_height + m_e / 2) >> m_shift;
        return m_negative ? -t : t;
    }

private:
    int32_t m_h;
    int m_shift;
    int32_t m_e; // h squared
    int32_t m_height;
    bool m_negative;
};

// The cubic amounts are computed in 64 bits: with 128-sample blocks the products of large A and
// B exceed 32 bits. Samples wrap at 16 bits as everywhere in the block.
template <typename Apply> void ForEachCubicAmount(int exponent, int16_t a, int16_t b, Apply apply)
{
    const int m = 1 << exponent;
    const int h = m / 2;
    const int q = m / 6 + 1;
    const int64_t e = int64_t{1} << (2 * exponent - 2);
    const int64_t den = 2 * int64_t{q} * (e - int64_t{q} * q);
    const int64_t half = den / 2;
    for (int i = 0; i < h; ++i)
    {
        const int64_t weight = e - int64_t{i} * i;
        apply(h + i, RoundedQuotient(weight * ((q - i) * int64_t{a} + (q + i) * int64_t{b}), den, half));
        if (i >= 1)
            apply(h - i, RoundedQuotient(weight * ((q + i) * int64_t{a} + (q - i) * int64_t{b}), den, half));
    }
}

// Removes the block's trend; fills in F, A and B (the rise R is given). False, and the block
// untouched, when the block is too short for its predictor.
bool ApplyCurvePredictor(int16_t* block, int exponent, int predictor, BlockParams& params)
{
    if (!PredictorFits(exponent, predictor))
        return false;
    const int m = 1 << exponent;
    const int16_t start = block[0];
    for (int i = 0; i < m; ++i)
        Subtract(block[i], start);
    if (predictor == 0)
        return true;
    block[0] = 0;
    const LinearTrend linear(exponent, params.rise);
    for (int i = 1; i < m; ++i)
        Subtract(block[i], linear.At(i));
    const int h = m / 2;
    if (predictor == 2)
    {
        params.middle = block[h];
        const ParabolicTrend parabolic(exponent, params.middle);
        for (int i = 1; i < m; ++i)
            Subtract(block[i], parabolic.At(i)); // the middle becomes 0
    }
    else if (predictor == 3)
    {
        const int q = m / 6 + 1;
        params.a = block[h - q];
        params.b = block[h + q];
        ForEachCubicAmount(exponent, params.a, params.b,
                           [&](int i, int64_t amount) { Subtract(block[i], amount); });
    }
    return true;
}

// Restores the block's trend on the residuals, where the positions of the predictor's
// parameters hold 0. All sums wrap at 16 bits, so their order does not matter; the linear and
// parabolic parts go in one pass, as decoding spends much of its time here.
bool UndoCurvePredictor(int16_t* block, int exponent, int predictor, int16_t start, const BlockParams& params)
{
    if (!PredictorFits(exponent, predictor))
        return false;
    const int m = 1 << exponent;
    if (predictor == 3)
        ForEachCubicAmount(exponent, params.a, params.b,
                           [&](int i, int64_t amount) { Subtract(block[i], -amount); });
    // The loops run over the whole block, which vectorises better; the first sample takes no
    // linear amount and is set afterwards.
    const int16_t first = static_cast<int16_t>(block[0] + start);
    const LinearTrend linear(exponent, predictor >= 1 ? params.rise : int16_t{0});
    if (predictor == 2)
    {
        const ParabolicTrend parabolic(exponent, params.middle);
        for (int i = 0; i < m; ++i)
            block[i] = static_cast<int16_t>(block[i] + start + linear.At(i) + parabolic.At(i));
    }
    else
    {
        for (int i = 0; i < m; ++i)
            block[i] = static_cast<int16_t>(block[i] + start + linear.At(i));
    }
    block[0] = first;
    return true;
}

// Widths of the rise and of the extra parameters, estimated once per stream from the whole curve
// with the configured block length and predictor.
void EstimateCurveParamWidths(const int16_t* s, int n, int exponent, int predictor, int& riseWidth,
                              int& extraWidth)
{
    const int m = 1 << exponent;
    const int h = m / 2;
    const int q = m / 6 + 1;
    std::vector<int32_t> rises;
    std::vector<int32_t> extras;
    for (int c = m; c < n; c += m)
    {
        const int b0 = c - m;
        const int32_t rise = s[c] - s[b0];
        rises.push_back(rise);
        if (predictor == 2)
        {
            const int32_t d = s[c] - 2 * s[b0 + h] + s[b0];
            extras.push_back(d >= 0 ? (d + 1) / 2 : (d - 1) / 2);
        }
        else if (predictor == 3)
        {
            extras.push_back((m * (s[b0 + h - q] - s[b0]) - rise * (h - q) + h) >> exponent);
            extras.push_back((m * (s[b0 + h + q] - s[b0]) - rise * (h + q) + h) >> exponent);
        }
    }
    riseWidth = ChooseCurveWidth(rises.data(), static_cast<int>(rises.size()), 1);
    extraWidth =
        predictor >= 2 ? ChooseCurveWidth(extras.data(), static_cast<int>(extras.size()), 1) : riseWidth;
}

int16_t Requantise(int16_t v, int width)
{
    if (width >= 16)
        return v;
    const int32_t round = int32_t{1} << (15 - width);
    const int shift = 16 - width;
    int32_t r = v >= 0 ? (v + round) >> shift : (v - round) >> shift;
    // Rounding can step one past the signed range of the width; the first sample is stored in
    // exactly that many bits, so keep it inside.
    const int32_t high = (int32_t{1} << (width - 1)) - 1;
    r = std::clamp(r, -high - 1, high);
    return static_cast<int16_t>(r);
}

// Reads the stream least significant bit first, refilling eight bytes at a time while eight
// remain and byte by byte at the end. Past the end the stream reads as zero bits, so a stream
// cut short decodes as if the missing bits were zeros; Overran() tells that a read went there.
class BitReader
{
public:
    // Bits held after Refill at least: enough for any field, or for a run of residuals.
    static constexpr int kReady = 56;

    BitReader(const uint8_t* data, int size) : m_data(data), m_size(static_cast<size_t>(size)) {}

    void Refill()
    {
        if (m_position + 8 <= m_size) [[likely]]
        {
            // The load also fills the bits above the held ones with the bytes that follow. A
            // later load puts the same bytes in the same places, so they can stay there.
            m_held |= LoadLittleEndian64(m_data + m_position) << m_count;
            m_position += static_cast<size_t>(63 - m_count) >> 3;
            m_count |= kReady;
        }
        else
        {
            RefillAtTheEnd();
        }
    }

    // The next n bits (0 to 32, at most the bits held) without taking them.
    uint32_t Peek(int n) const { return static_cast<uint32_t>(m_held & LowMask(n)); }
    void Skip(int n)
    {
        m_held >>= n;
        m_count -= n;
    }
    // The next n bits, 0 to 32.
    uint32_t Take(int n)
    {
        if (m_count < n)
            Refill();
        const uint32_t value = Peek(n);
        Skip(n);
        return value;
    }

    bool Overran() const
    {
        const int64_t consumedBits = static_cast<int64_t>(m_position) * 8 - m_count;
        return m_broken || consumedBits > static_cast<int64_t>(m_size) * 8;
    }

    // A field that no writer makes: the stream is broken, whatever follows.
    void MarkBroken() { m_broken = true; }

private:
    static uint64_t LoadLittleEndian64(const uint8_t* p)
    {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if constexpr (std::endian::native == std::endian::big)
        {
            uint64_t swapped = 0;
            for (int i = 0; i < 8; ++i)
                swapped |= uint64_t{p[i]} << (8 * i);
            word = swapped;
        }
        return word;
    }

    void RefillAtTheEnd()
    {
        while (m_count <= kReady)
        {
            const uint64_t byte = m_position < m_size ? m_data[m_position] : 0;
            m_held |= byte << m_count;
            ++m_position; // may pass the end: the bytes there read as zeros
            m_count += 8;
        }
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0; // bytes loaded into m_held so far
    uint64_t m_held = 0;   // the next m_count bits of the stream in its low bits
    int m_count = 0;
    bool m_broken = false;
};

// The rest of a value written through the escape, after its pattern: the zero bits that widen
// the field, the one bit and the field.
int32_t ReadEscapedValue(BitReader& bits, int width)
{
    int fieldWidth = width;
    while (bits.Take(1) == 0)
    {
        if (++fieldWidth >= kEscapeFieldLimit)
        {
            bits.MarkBroken();
            return 0;
        }
    }
    const uint32_t field = bits.Take(fieldWidth);
    const uint32_t c = uint32_t{1} << (fieldWidth - 1);
    if (field & c)
        return -static_cast<int32_t>(c + (~field & (c - 1)));
    return static_cast<int32_t>(field + c);
}

// A value as CCurveCodec::WriteValue wrote it at a width of 0 to 16.
int32_t ReadValue(BitReader& bits, int width)
{
    if (width <= 0)
        return 0; // a width of 0 carries nothing but zeros
    const uint32_t pattern = bits.Take(width);
    if (pattern != (uint32_t{1} << (width - 1)))
        return SignExtend(pattern, width);
    return ReadEscapedValue(bits, width);
}

// n residuals of one block width, the loop that decoding spends its time in: with the width
// fixed, one refill serves a run of values and each value is a mask and a shift. The escape,
// rare in a curve, takes the general path.
template <int Width> void ReadResiduals(BitReader& bits, int16_t* out, int n)
{
    if constexpr (Width == 0)
    {
        std::fill(out, out + std::max(n, 0), int16_t{0});
    }
    else
    {
        constexpr uint32_t kEscape = uint32_t{1} << (Width - 1);
        constexpr int kPerRefill = BitReader::kReady / Width;
        int i = 0;
        while (i < n)
        {
            bits.Refill();
            const int end = std::min(n, i + kPerRefill);
            while (i < end)
            {
                const uint32_t value = bits.Peek(Width);
                bits.Skip(Width);
                if (value == kEscape) [[unlikely]]
                {
                    out[i++] = static_cast<int16_t>(ReadEscapedValue(bits, Width));
                    break; // the escape took an unknown number of the held bits
                }
                out[i++] = static_cast<int16_t>(SignExtend(value, Width));
            }
        }
    }
}

using ResidualReader = void (*)(BitReader&, int16_t*, int);

template <int... Widths>
constexpr std::array<ResidualReader, sizeof...(Widths)> ResidualReaders(std::integer_sequence<int, Widths...>)
{
    return {&ReadResiduals<Widths>...};
}

// One loop for each width the block header's 4-bit field can give.
constexpr std::array<ResidualReader, 16> kResidualReaders =
    ResidualReaders(std::make_integer_sequence<int, 16>{});

void ReadAxis(BitReader& bits, CCurveCodec::Axis& axis)
{
    axis.first = std::bit_cast<float>(bits.Take(32));
    axis.second = std::bit_cast<float>(bits.Take(32));
    std::memset(axis.unit, 0, sizeof axis.unit);
    for (char& c : axis.unit)
    {
        c = static_cast<char>(bits.Take(7));
        if (c == 0)
            break;
    }
}

// A block header is a chain of fields, each after a one bit; a zero bit ends it, and the fields
// not sent keep their values from the block before. The longest header has 23 bits, so one
// refill covers it.
bool ReadBlockHeader(BitReader& bits, int& width, int& predictor, int& exponent, int& extraWidth,
                     int& riseWidth)
{
    static_assert(BitReader::kReady >= 23);
    bits.Refill();
    auto take = [&bits](int n)
    {
        const uint32_t value = bits.Peek(n);
        bits.Skip(n);
        return value;
    };
    if (!take(1))
        return true;
    width = static_cast<int>(take(4));
    if (!take(1))
        return true;
    predictor = static_cast<int>(take(2));
    if (!take(1))
        return true;
    exponent = static_cast<int>(take(3));
    if (predictor >= 2)
    {
        if (!take(1))
            return true;
        extraWidth = static_cast<int>(take(4)) + 1;
    }
    if (predictor >= 1)
    {
        if (!take(1))
            return true;
        riseWidth = static_cast<int>(take(4)) + 1;
    }
    return take(1) == 0; // no further field exists
}
} // namespace

CCurveCodec::CCurveCodec() = default;

CCurveCodec::~CCurveCodec()
{
    Reset();
}

void CCurveCodec::Reset()
{
    Detach();
    m_samples.reset();
    m_capacity = 0; // the count stays, but no samples remain
    m_sampleWidth = 16;
    m_xAxis = Axis{};
    m_yAxis = Axis{};
    m_blockLength = 16;
    m_exponent = 4;
    m_predictor = 2;
    m_callback = nullptr;
}

bool CCurveCodec::SetBlockSize(int size, int predictor, BlockCallback callback)
{
    if (size < 2 || size > kMaxBlock || predictor < 0 || predictor > 3)
        return false;
    int exponent = 1;
    while ((1 << exponent) < size)
        ++exponent;
    m_exponent = exponent;
    m_blockLength = 1 << exponent;
    m_predictor = predictor;
    m_callback = std::move(callback);
    return true;
}

bool CCurveCodec::SetHeader(float xFirst, float xSecond, const char* xUnit, float yFirst, float ySecond,
                            const char* yUnit)
{
    auto set = [](Axis& axis, float first, float second, const char* unit)
    {
        axis.first = first;
        axis.second = second;
        std::memset(axis.unit, 0, sizeof axis.unit);
        for (int i = 0; unit && i < 8 && unit[i] != 0; ++i)
            axis.unit[i] = unit[i];
    };
    set(m_xAxis, xFirst, xSecond, xUnit);
    set(m_yAxis, yFirst, ySecond, yUnit);
    return true;
}

bool CCurveCodec::SetSamples(const int16_t* samples, int count, int width, int step)
{
    if (!samples || count <= 0 || width < 1 || width > 16 || step < 1 || step > 1024)
        return false;
    const int n = count / step;
    if (n < 2 || !EnsureCapacity(n))
        return false;
    for (int i = 0; i < n; ++i)
        m_samples[i] = Requantise(samples[static_cast<size_t>(i) * step], width);
    m_sampleWidth = width;
    m_count = n;
    return true;
}

bool CCurveCodec::SetUnsignedSamples(const uint16_t* samples, int count, int width, int step)
{
    if (!samples || count <= 0)
        return false;
    std::vector<int16_t> centred(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        centred[i] = static_cast<int16_t>(samples[i] - 0x8000);
    return SetSamples(centred.data(), count, width, step);
}

bool CCurveCodec::EnsureCapacity(int n)
{
    if (n < 3 || n > kMaxSamples)
        return false;
    if (m_samples && m_capacity >= n)
        return true;
    std::unique_ptr<int16_t[]> store(new (std::nothrow) int16_t[static_cast<size_t>(n)]());
    if (!store)
        return false;
    m_samples = std::move(store);
    m_capacity = n;
    m_count = 0; // the old samples went with the old store
    return true;
}

bool CCurveCodec::HasSamples() const
{
    return m_samples && m_count > 0 && m_count <= m_capacity;
}

int CCurveCodec::GetSamples(int16_t* buffer, int bytes) const
{
    if (!buffer || !HasSamples() || static_cast<int64_t>(bytes) < int64_t{m_count} * 2)
        return 0;
    std::memcpy(buffer, m_samples.get(), static_cast<size_t>(m_count) * 2);
    return m_count * 2;
}

int CCurveCodec::Encode(uint8_t* buffer, int size)
{
    if (!buffer || size < 10 || size > kMaxStreamSize || m_mode != Mode::Idle || !HasSamples() ||
        m_count < 2 || m_count > kMaxCountInStream)
        return 0;
    Attach(buffer, size, Mode::Writing);
    struct DetachOnExit
    {
        CCurveCodec* codec;
        ~DetachOnExit() { codec->Detach(); }
    } detach{this};
    if (!EncodeStream())
        return 0;
    WriteBits(0, (8 - m_pendingBits) % 8); // pad the last byte with zero bits
    return m_overrun ? 0 : m_bytesDone;
}

bool CCurveCodec::EncodeStream()
{
    const int16_t* s = m_samples.get();
    const int count = m_count;
    WriteBits(kMagic1, 8);
    WriteBits(kMagic2, 8);
    WriteBits(static_cast<uint32_t>(count), 16);
    WriteAxis(m_xAxis);
    WriteAxis(m_yAxis);
    WriteBits(static_cast<uint32_t>(m_sampleWidth - 1), 4);
    WriteBits(static_cast<uint16_t>(s[0]), m_sampleWidth);

    int riseWidth = 1;
    int extraWidth = 1;
    EstimateCurveParamWidths(s, count, m_exponent, m_predictor, riseWidth, extraWidth);

    // What the decoder will hold when it comes to each block: a block must start from the value
    // the decoder carries over, and must not rely on a parameter width the decoder never read.
    // Settings that break the first rule (a constant block followed by another block) are refused;
    // for the second, the widths are simply sent again.
    int16_t decoderStart = static_cast<int16_t>(SignExtend(static_cast<uint16_t>(s[0]), m_sampleWidth));
    int16_t decoderRise = 0;
    int decoderRiseWidth = m_sampleWidth / 4;
    int decoderExtraWidth = 1;

    int exponent = m_exponent;
    int predictor = m_predictor;
    int level = 5;
    int16_t block[kMaxBlock];
    for (int position = 0; position < count;)
    {
        int blockLevel = level;
        const int changed = AskCallback(position, exponent, predictor);
        if (changed < 0)
            return false;
        if (changed > 0)
            blockLevel = 3;
        const int remaining = count - position;
        if (remaining < (1 << exponent))
        {
            // The last block shrinks to the smallest length that still covers the rest.
            const int previous = exponent;
            if (remaining <= 2)
            {
                exponent = 1;
                predictor = 1;
            }
            else if (remaining <= 4)
            {
                exponent = 2;
                predictor = 1;
            }
            else
            {
                exponent = 3;
                while ((1 << exponent) < remaining)
                    ++exponent;
            }
            if (exponent != previous)
                blockLevel = 3;
        }
        level = blockLevel;
        if (position == 0)
            blockLevel = 5;
        const int m = 1 << exponent;

        const int copied = std::min(m, remaining);
        std::copy(s + position, s + position + copied, block);
        const int16_t step = copied >= 2 ? static_cast<int16_t>(block[copied - 1] - block[copied - 2]) : 0;
        for (int i = copied; i < m; ++i)
            block[i] = static_cast<int16_t>(block[i - 1] + step);

        BlockParams params;
        const int next = position + m;
        if (next < count)
            params.rise = static_cast<int16_t>(s[next] - s[position]);
        else if (m >= 2)
            params.rise = static_cast<int16_t>(2 * (block[m - 1] - block[m - 2] / 2) - block[0]);

        if (block[0] != decoderStart)
            return false;
        if (!ApplyCurvePredictor(block, exponent, predictor, params))
            return false; // the decoder would refuse this block
        const int width = ChooseCurveWidth(block, m, predictor);

        if (blockLevel < 4 && ((predictor >= 1 && decoderRiseWidth != riseWidth) ||
                               (predictor >= 2 && decoderExtraWidth != extraWidth)))
            blockLevel = 4;
        WriteBits(1, 1);
        WriteBits(static_cast<uint32_t>(width), 4);
        if (blockLevel >= 2)
        {
            WriteBits(1, 1);
            WriteBits(static_cast<uint32_t>(predictor), 2);
        }
        if (blockLevel >= 3)
        {
            WriteBits(1, 1);
            WriteBits(static_cast<uint32_t>(exponent), 3);
        }
        if (blockLevel >= 4)
        {
            if (predictor >= 2)
            {
                WriteBits(1, 1);
                WriteBits(static_cast<uint32_t>(extraWidth - 1), 4);
                decoderExtraWidth = extraWidth;
            }
            if (predictor >= 1)
            {
                WriteBits(1, 1);
                WriteBits(static_cast<uint32_t>(riseWidth - 1), 4);
                decoderRiseWidth = riseWidth;
            }
        }
        WriteBits(0, 1);

        if (predictor >= 1)
            WriteValue(params.rise, riseWidth);
        if (predictor == 2)
            WriteValue(params.middle, extraWidth);
        if (predictor == 3)
        {
            WriteValue(params.a, extraWidth);
            WriteValue(params.b, extraWidth);
        }
        ForEachResidualRun(m, predictor,
                           [&](int from, int to)
                           {
                               for (int i = from; i < to; ++i)
                                   WriteValue(block[i], width);
                           });
        if (m_overrun)
            return false;

        if (predictor >= 1)
            decoderRise = params.rise;
        decoderStart = static_cast<int16_t>(decoderStart + decoderRise);
        position = next;
    }
    return true;
}

bool CCurveCodec::Decode(const uint8_t* data, int size)
{
    if (!data || size < 1 || size > kMaxStreamSize || m_mode != Mode::Idle)
        return false;
    m_mode = Mode::Reading;
    const bool valid = DecodeStream(data, size);
    m_mode = Mode::Idle;
    return valid;
}

bool CCurveCodec::DecodeStream(const uint8_t* data, int size)
{
    BitReader bits(data, size);
    if (bits.Take(8) != kMagic1 || bits.Take(8) != kMagic2)
        return false;
    const int count = static_cast<int>(bits.Take(16));
    if (!EnsureCapacity(count))
        return false;
    ReadAxis(bits, m_xAxis);
    ReadAxis(bits, m_yAxis);
    m_sampleWidth = static_cast<int>(bits.Take(4)) + 1;
    int16_t start = static_cast<int16_t>(SignExtend(bits.Take(m_sampleWidth), m_sampleWidth));

    int width = 3;
    int predictor = 1;
    int exponent = 5;
    int extraWidth = 1;
    int riseWidth = m_sampleWidth / 4;
    BlockParams params; // the rise stays from block to block; a constant block sends none
    int16_t block[kMaxBlock];
    for (int decoded = 0; decoded < count;)
    {
        if (AskCallback(decoded, exponent, predictor) < 0)
            return false;
        if (!ReadBlockHeader(bits, width, predictor, exponent, extraWidth, riseWidth))
            return false;
        if (!PredictorFits(exponent, predictor))
            return false; // the block's trend could not be restored
        const int m = 1 << exponent;
        if (predictor >= 1)
            params.rise = static_cast<int16_t>(ReadValue(bits, riseWidth));
        if (predictor == 2)
            params.middle = static_cast<int16_t>(ReadValue(bits, extraWidth));
        if (predictor == 3)
        {
            params.a = static_cast<int16_t>(ReadValue(bits, extraWidth));
            params.b = static_cast<int16_t>(ReadValue(bits, extraWidth));
        }
        // A whole block is decoded where it belongs; the last one, which may reach past the
        // count, on the side.
        const int taken = std::min(m, count - decoded);
        int16_t* const target = taken == m ? m_samples.get() + decoded : block;
        const ResidualReader readResiduals = kResidualReaders[static_cast<size_t>(width)];
        ForEachResidualRun(m, predictor,
                           [&](int from, int to)
                           {
                               readResiduals(bits, target + from, to - from);
                               if (to < m)
                                   target[to] = 0; // restored from the parameters
                           });
        if (!UndoCurvePredictor(target, exponent, predictor, start, params))
            return false;
        if (target == block)
            std::copy(block, block + taken, m_samples.get() + decoded);
        decoded += taken;
        start = static_cast<int16_t>(start + params.rise);
    }
    m_count = count;
    m_callback = nullptr;
    return !bits.Overran();
}

int CCurveCodec::AskCallback(int position, int& exponent, int& predictor)
{
    if (!m_callback)
        return 0;
    int newExponent = exponent;
    int newPredictor = predictor;
    if (!m_callback(position, newExponent, newPredictor))
        return 0;
    if (newExponent < 0 || newExponent > kMaxExponent || newPredictor < 0 || newPredictor > 3)
        return -1; // no block of that shape fits the stream
    exponent = newExponent;
    predictor = newPredictor;
    return 1;
}

void CCurveCodec::WriteAxis(const Axis& axis)
{
    WriteBits(std::bit_cast<uint32_t>(axis.first), 32);
    WriteBits(std::bit_cast<uint32_t>(axis.second), 32);
    for (char c : axis.unit)
    {
        // Seven bits a character: the terminator is what the reader sees, so a character whose
        // low seven bits are zero ends the text here as well.
        const uint32_t low = static_cast<uint8_t>(c) & 0x7Fu;
        WriteBits(low, 7);
        if (low == 0)
            break;
    }
}

void CCurveCodec::Attach(uint8_t* buffer, int size, Mode mode)
{
    m_writeBuffer = buffer;
    m_streamSize = size;
    m_bytesDone = 0;
    m_bytePosition = 0;
    m_pending = 0;
    m_pendingBits = 0;
    m_overrun = false;
    m_mode = mode;
}

void CCurveCodec::Detach()
{
    m_writeBuffer = nullptr;
    m_streamSize = 0;
    m_bytePosition = 0;
    m_pending = 0;
    m_pendingBits = 0;
    m_mode = Mode::Idle;
}

// Bits go least significant first: a field's bit 0 first, filling each byte from bit 0 upward.
void CCurveCodec::WriteBits(uint32_t value, int n)
{
    if (n <= 0 || m_overrun)
        return;
    m_pending |= (static_cast<uint64_t>(value) & LowMask(n)) << m_pendingBits;
    m_pendingBits += n;
    while (m_pendingBits >= 8)
    {
        if (m_bytePosition >= m_streamSize)
        {
            m_overrun = true; // the buffer is full: nothing more is written
            return;
        }
        m_writeBuffer[m_bytePosition++] = static_cast<uint8_t>(m_pending);
        m_pending >>= 8;
        m_pendingBits -= 8;
        m_bytesDone = m_bytePosition;
    }
}

// A value with |v| < 2^(w - 1) is its low w bits. Any other is the escape pattern (only the top
// bit of w set), j zero bits and a one bit, then w + j bits of |v| - 2^(w - 1 + j), complemented
// for a negative v, where j is the smallest with |v| < 2^(w + j).
void CCurveCodec::WriteValue(int32_t value, int width)
{
    if (width <= 0)
        return; // a width of 0 carries nothing but zeros
    const int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
    const int64_t c = int64_t{1} << (width - 1);
    if (magnitude < c)
    {
        WriteBits(static_cast<uint32_t>(value), width);
        return;
    }
    WriteBits(static_cast<uint32_t>(c), width);
    int j = 0;
    while (magnitude >= (c << (j + 1)))
        ++j;
    WriteBits(0, j);
    WriteBits(1, 1);
    uint64_t field = static_cast<uint64_t>(magnitude - (c << j));
    if (value < 0)
        field = ~field;
    WriteBits(static_cast<uint32_t>(field & LowMask(width + j)), width + j);
}
