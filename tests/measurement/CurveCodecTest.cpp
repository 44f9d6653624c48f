#include "measurement/CurveCodec.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// Writes fields least significant bit first, as the stored stream packs them; used to build
// streams by hand, independently of the encoder.
class BitWriter
{
public:
    void Put(uint32_t value, int n)
    {
        for (int i = 0; i < n; ++i)
            m_bits.push_back((value >> i) & 1u);
    }
    void PutFloat(float value) { Put(std::bit_cast<uint32_t>(value), 32); }
    Bytes Finish() const
    {
        Bytes bytes((m_bits.size() + 7) / 8, 0);
        for (size_t i = 0; i < m_bits.size(); ++i)
            bytes[i / 8] |= static_cast<uint8_t>(m_bits[i] << (i % 8));
        return bytes;
    }

private:
    std::vector<uint32_t> m_bits;
};

// Magic, count, two axes 1.0/0.0 without units, sample width 16 and the first sample.
BitWriter StreamHeader(uint32_t count, int16_t first)
{
    BitWriter w;
    w.Put(0xC5, 8);
    w.Put(0xB0, 8);
    w.Put(count, 16);
    for (int axis = 0; axis < 2; ++axis)
    {
        w.PutFloat(1.0f);
        w.PutFloat(0.0f);
        w.Put(0, 7);
    }
    w.Put(15, 4);
    w.Put(static_cast<uint16_t>(first), 16);
    return w;
}

std::vector<int16_t> Decoded(const CCurveCodec& codec)
{
    std::vector<int16_t> samples(static_cast<size_t>(codec.GetCount()));
    const int bytes = static_cast<int>(samples.size() * 2);
    EXPECT_EQ(codec.GetSamples(samples.data(), bytes), bytes);
    return samples;
}

Bytes Encoded(CCurveCodec& codec, int capacity)
{
    Bytes buffer(static_cast<size_t>(capacity));
    const int length = codec.Encode(buffer.data(), capacity);
    buffer.resize(static_cast<size_t>(length));
    return buffer;
}

// An indentation curve as the tester delivers it: a rest level, the load pressing the probe in
// with a little noise, a creeping plateau and the release.
std::vector<uint16_t> IndentationCurve(int n, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint16_t> curve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(i) / n;
        double depth = 12000.0;
        if (t > 0.1)
            depth += 30000.0 * (1.0 - std::exp(-(t - 0.1) * 25.0)) + 800.0 * (t - 0.1);
        if (t > 0.7)
            depth -= 25000.0 * (1.0 - std::exp(-(t - 0.7) * 30.0));
        curve[static_cast<size_t>(i)] = static_cast<uint16_t>(depth + static_cast<int>(random() % 7) - 3);
    }
    return curve;
}

std::vector<int16_t> Signed(const std::vector<uint16_t>& samples)
{
    std::vector<int16_t> out;
    for (uint16_t s : samples)
        out.push_back(static_cast<int16_t>(s - 0x8000));
    return out;
}
} // namespace

TEST(CurveCodec, PinsTheBitLayoutOfATinyStream)
{
    // Three samples with block 16: one block of four samples (the last one continuing the
    // step), linear at full header level, the rise 8 escaped at rise width 1, residuals of 0.
    const int16_t samples[] = {10, 12, 14};
    CCurveCodec codec;
    ASSERT_TRUE(codec.SetSamples(samples, 3, 16, 1));
    const Bytes expected = {0xC5, 0xB0, 0x03, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x1F, 0x00, 0x00, 0x00,
                            0x00, 0xC0, 0x2B, 0x00, 0x8C, 0x55, 0x10, 0x01};
    EXPECT_EQ(Encoded(codec, 64), expected);

    CCurveCodec decoder;
    ASSERT_TRUE(decoder.Decode(expected.data(), static_cast<int>(expected.size())));
    EXPECT_EQ(Decoded(decoder), std::vector<int16_t>(samples, samples + 3));
}

TEST(CurveCodec, DecoderStartsFromItsDefaultBlockState)
{
    // A block whose header sends no field: width 3, linear, 32 samples, rise width 16 / 4.
    BitWriter w = StreamHeader(32, 100);
    w.Put(0, 1);     // header: no field
    w.Put(0, 4);     // rise 0 at width 4
    w.Put(1, 3);     // residual 1: +1
    w.Put(0b111, 3); // residual 2: -1
    for (int i = 3; i < 32; ++i)
        w.Put(0, 3);
    const Bytes stream = w.Finish();
    CCurveCodec codec;
    ASSERT_TRUE(codec.Decode(stream.data(), static_cast<int>(stream.size())));
    std::vector<int16_t> expected(32, 100);
    expected[1] = 101;
    expected[2] = 99;
    EXPECT_EQ(Decoded(codec), expected);
}

TEST(CurveCodec, RoundTripsEveryBlockAndLength)
{
    struct Settings
    {
        int predictor;
        int smallestBlock;
    };
    // Linear from 2, parabolic from 4, cubic from 8 samples a block.
    const Settings settings[] = {{1, 2}, {2, 4}, {3, 8}};
    for (const Settings& s : settings)
        for (int block = s.smallestBlock; block <= 128; block = block * 2 - (block == 8 ? 1 : 0))
            for (int length : {3, 4, 5, 9, 16, 17, 100, 257, 1500})
                for (unsigned seed : {1u, 2u})
                {
                    std::vector<uint16_t> curve = IndentationCurve(length, seed);
                    if (seed == 2) // white noise over the whole range, escapes everywhere
                    {
                        std::mt19937 random(length);
                        for (uint16_t& sample : curve)
                            sample = static_cast<uint16_t>(random());
                    }
                    CCurveCodec codec;
                    ASSERT_TRUE(codec.SetBlockSize(block, s.predictor));
                    ASSERT_TRUE(codec.SetUnsignedSamples(curve.data(), length, 16, 1));
                    const Bytes stream = Encoded(codec, 8 * length + 64);
                    ASSERT_FALSE(stream.empty()) << "predictor " << s.predictor << " block " << block;
                    EXPECT_EQ(stream[0], 0xC5);
                    EXPECT_EQ(stream[1], 0xB0);

                    CCurveCodec decoder;
                    ASSERT_TRUE(decoder.Decode(stream.data(), static_cast<int>(stream.size())));
                    ASSERT_EQ(Decoded(decoder), Signed(curve))
                        << "predictor " << s.predictor << " block " << block << " length " << length;
                }
}

TEST(CurveCodec, LiveMeasurementSettingsRoundTripCompactly)
{
    const std::vector<uint16_t> curve = IndentationCurve(3000, 7);
    const int count = static_cast<int>(curve.size());
    CCurveCodec codec;
    ASSERT_TRUE(codec.SetBlockSize(16, 2));
    ASSERT_TRUE(codec.SetHeader(1.0f / 155.0f, 0.0f, "t/s", 32768.0f, 0.0f, "\xB5m"));
    ASSERT_TRUE(codec.SetUnsignedSamples(curve.data(), count, 16, 1));
    const Bytes stream = Encoded(codec, 4 * count);
    ASSERT_FALSE(stream.empty());
    EXPECT_LT(stream.size(), curve.size()); // well under one byte a sample for a smooth curve

    CCurveCodec decoder;
    ASSERT_TRUE(decoder.Decode(stream.data(), static_cast<int>(stream.size())));
    std::vector<int16_t> samples = Decoded(decoder);
    std::vector<uint16_t> depths;
    for (int16_t s : samples)
        depths.push_back(static_cast<uint16_t>(s + 0x8000));
    EXPECT_EQ(depths, curve);
    EXPECT_EQ(decoder.GetSampleWidth(), 16);
    EXPECT_EQ(std::bit_cast<uint32_t>(decoder.GetXAxis().first), 0x3BD3680Du);
    EXPECT_EQ(decoder.GetYAxis().first, 32768.0f);
    EXPECT_EQ(decoder.GetYAxis().second, 0.0f);
    EXPECT_EQ(std::string(decoder.GetXAxis().unit, 3), "t/s");
    EXPECT_EQ(decoder.GetXAxis().unit[3], 0);
    // Seven bits a character: the micro sign 0xB5 comes back as 0x35.
    EXPECT_EQ(std::string(decoder.GetYAxis().unit, 3), std::string("5m\0", 3));
}

TEST(CurveCodec, UnitTextsKeepEightCharactersAndStayInStep)
{
    const int16_t samples[] = {1, 2, 3, 4, 5};
    struct Case
    {
        const char* unit;
        std::string decoded;
    };
    const Case cases[] = {
        {"abcdefghijk", "abcdefgh"}, // eight kept, no terminator sent
        {"abcdefgh", "abcdefgh"},
        {nullptr, std::string(8, '\0')},
        {"a\x80zz", std::string("a\0\0\0\0\0\0\0", 8)}, // low seven bits 0 end the text
    };
    for (const Case& c : cases)
    {
        CCurveCodec codec;
        codec.SetHeader(2.5f, -1.0f, c.unit, 3.0f, 4.0f, "y");
        ASSERT_TRUE(codec.SetSamples(samples, 5, 16, 1));
        const Bytes stream = Encoded(codec, 100);
        CCurveCodec decoder;
        ASSERT_TRUE(decoder.Decode(stream.data(), static_cast<int>(stream.size())));
        EXPECT_EQ(std::string(decoder.GetXAxis().unit, 8), c.decoded);
        EXPECT_EQ(decoder.GetXAxis().first, 2.5f);
        EXPECT_EQ(decoder.GetXAxis().second, -1.0f);
        EXPECT_EQ(std::string(decoder.GetYAxis().unit, 2), std::string("y\0", 2));
        EXPECT_EQ(decoder.GetYAxis().second, 4.0f);
        EXPECT_EQ(Decoded(decoder), std::vector<int16_t>(samples, samples + 5));
    }
}

TEST(CurveCodec, ExtremeResidualsGoThroughTheEscape)
{
    // Full-range jumps leave residuals of -32768 and 32767, which the width choice counts as
    // narrow yet must still come back exactly.
    std::vector<int16_t> samples;
    for (int i = 0; i < 200; ++i)
        samples.push_back(i % 3 == 0 ? INT16_MIN : i % 3 == 1 ? INT16_MAX : 0);
    for (int predictor : {1, 2, 3})
    {
        CCurveCodec codec;
        codec.SetBlockSize(16, predictor);
        ASSERT_TRUE(codec.SetSamples(samples.data(), static_cast<int>(samples.size()), 16, 1));
        const Bytes stream = Encoded(codec, 8 * 200 + 64);
        CCurveCodec decoder;
        ASSERT_TRUE(decoder.Decode(stream.data(), static_cast<int>(stream.size())));
        EXPECT_EQ(Decoded(decoder), samples) << predictor;
    }
}

TEST(CurveCodec, LoadingChecksAndRequantises)
{
    const int16_t five[] = {-300, 5, 16383, 32767, -32768};
    CCurveCodec codec;
    EXPECT_FALSE(codec.SetSamples(nullptr, 5, 16, 1));
    EXPECT_FALSE(codec.SetSamples(five, 0, 16, 1));
    EXPECT_FALSE(codec.SetSamples(five, 5, 0, 1));
    EXPECT_FALSE(codec.SetSamples(five, 5, 17, 1));
    EXPECT_FALSE(codec.SetSamples(five, 5, 16, 0));
    EXPECT_FALSE(codec.SetSamples(five, 5, 16, 1025));
    EXPECT_FALSE(codec.SetSamples(five, 5, 16, 3)); // one sample left
    EXPECT_FALSE(codec.SetSamples(five, 5, 16, 2)); // two: the store takes three at least
    EXPECT_FALSE(codec.SetBlockSize(1, 2));
    EXPECT_FALSE(codec.SetBlockSize(129, 2));
    EXPECT_FALSE(codec.SetBlockSize(16, 4));
    EXPECT_EQ(codec.GetSamples(nullptr, 100), 0);

    // Width 8: half a step away from zero, then an arithmetic shift (so -300 gives -2); the ends
    // stay inside -128..127, or the first sample could not be stored in its 8 bits.
    ASSERT_TRUE(codec.SetSamples(five, 5, 8, 1));
    EXPECT_EQ(codec.GetSampleWidth(), 8);
    std::vector<int16_t> loaded(5);
    EXPECT_EQ(codec.GetSamples(loaded.data(), 10), 10);
    EXPECT_EQ(loaded, (std::vector<int16_t>{-2, 0, 64, 127, -128}));

    // Every second sample of ten.
    const uint16_t ten[] = {0, 1, 0x8000, 3, 0xFFFF, 5, 0x8002, 7, 0x7FFF, 9};
    ASSERT_TRUE(codec.SetUnsignedSamples(ten, 10, 16, 2));
    loaded.assign(5, 0);
    EXPECT_EQ(codec.GetSamples(loaded.data(), 9), 0); // one byte short copies nothing
    EXPECT_EQ(codec.GetSamples(loaded.data(), 10), 10);
    EXPECT_EQ(loaded, (std::vector<int16_t>{-32768, 0, 32767, 2, -1}));
}

TEST(CurveCodec, NarrowSamplesKeepTheirSign)
{
    for (int width : {4, 8, 12, 15})
        for (int16_t first : {int16_t{-20000}, int16_t{-32768}, int16_t{32767}, int16_t{300}})
        {
            std::vector<int16_t> samples = {first};
            for (int i = 1; i < 40; ++i)
                samples.push_back(static_cast<int16_t>(first - i * 700));
            CCurveCodec codec;
            ASSERT_TRUE(codec.SetSamples(samples.data(), 40, width, 1));
            std::vector<int16_t> loaded(40);
            codec.GetSamples(loaded.data(), 80);
            const Bytes stream = Encoded(codec, 400);
            CCurveCodec decoder;
            ASSERT_TRUE(decoder.Decode(stream.data(), static_cast<int>(stream.size())));
            EXPECT_EQ(decoder.GetSampleWidth(), width);
            EXPECT_EQ(Decoded(decoder), loaded) << "width " << width << " first " << first;
            EXPECT_EQ(loaded[0] < 0, first < 0);
        }
}

TEST(CurveCodec, EncodeRefusesWhatCannotBeStoredOrRead)
{
    const std::vector<uint16_t> curve = IndentationCurve(100, 3);
    auto encodedLength = [&](int block, int predictor, int capacity)
    {
        CCurveCodec codec;
        codec.SetBlockSize(block, predictor);
        codec.SetUnsignedSamples(curve.data(), 100, 16, 1);
        Bytes buffer(static_cast<size_t>(std::max(capacity, 1)));
        return codec.Encode(buffer.data(), capacity);
    };
    const int fullLength = encodedLength(16, 2, 1000);
    ASSERT_GT(fullLength, 25);
    EXPECT_EQ(encodedLength(16, 2, fullLength), fullLength);
    EXPECT_EQ(encodedLength(16, 2, fullLength - 1), 0);
    EXPECT_EQ(encodedLength(16, 2, 9), 0);
    // Blocks too short for their predictor would give a stream the decoder refuses.
    EXPECT_EQ(encodedLength(2, 2, 1000), 0);
    EXPECT_EQ(encodedLength(4, 3, 1000), 0);
    // A constant block carries no rise, so the next block would start from a wrong value.
    EXPECT_EQ(encodedLength(16, 0, 1000), 0);

    CCurveCodec empty;
    uint8_t buffer[64];
    EXPECT_EQ(empty.Encode(buffer, 64), 0);
    EXPECT_EQ(empty.Encode(nullptr, 64), 0);

    // The count field holds 16 bits.
    std::vector<int16_t> longCurve(65536, 5);
    CCurveCodec codec;
    ASSERT_TRUE(codec.SetSamples(longCurve.data(), 65536, 16, 1));
    Bytes big(1 << 20);
    EXPECT_EQ(codec.Encode(big.data(), static_cast<int>(big.size())), 0);
    ASSERT_TRUE(codec.SetSamples(longCurve.data(), 65535, 16, 1));
    const int length = codec.Encode(big.data(), static_cast<int>(big.size()));
    ASSERT_GT(length, 0);
    CCurveCodec decoder;
    ASSERT_TRUE(decoder.Decode(big.data(), length));
    EXPECT_EQ(decoder.GetCount(), 65535);
}

TEST(CurveCodec, ConstantPredictorWorksWithinOneBlock)
{
    const int16_t samples[] = {7, -3, 12, 0, 5, 5, 900};
    CCurveCodec codec;
    ASSERT_TRUE(codec.SetBlockSize(8, 0));
    ASSERT_TRUE(codec.SetSamples(samples, 7, 16, 1));
    const Bytes stream = Encoded(codec, 100);
    CCurveCodec decoder;
    ASSERT_TRUE(decoder.Decode(stream.data(), static_cast<int>(stream.size())));
    EXPECT_EQ(Decoded(decoder), std::vector<int16_t>(samples, samples + 7));
}

TEST(CurveCodec, CallbackChangesBlocksAndTheStreamStillDecodes)
{
    const std::vector<uint16_t> curve = IndentationCurve(700, 5);
    std::vector<int> starts;
    // Linear at first, then parabolic and cubic blocks of other lengths: the parameter widths the
    // first blocks never carried must reach the decoder before they are used.
    auto callback = [&](int first, int& exponent, int& predictor)
    {
        starts.push_back(first);
        if (first == 64)
        {
            exponent = 5;
            predictor = 2;
            return true;
        }
        if (first == 320)
        {
            exponent = 7;
            predictor = 3;
            return true;
        }
        return false;
    };
    CCurveCodec codec;
    ASSERT_TRUE(codec.SetBlockSize(32, 1, callback));
    ASSERT_TRUE(codec.SetUnsignedSamples(curve.data(), 700, 16, 1));
    const Bytes stream = Encoded(codec, 4000);
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(starts, (std::vector<int>{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 448, 576}));

    CCurveCodec decoder;
    ASSERT_TRUE(decoder.Decode(stream.data(), static_cast<int>(stream.size())));
    EXPECT_EQ(Decoded(decoder), Signed(curve));

    // Shapes no block can have end the encoding.
    CCurveCodec wrong;
    wrong.SetBlockSize(16, 2, [](int, int& exponent, int&) { return (exponent = 9), true; });
    wrong.SetUnsignedSamples(curve.data(), 700, 16, 1);
    EXPECT_TRUE(Encoded(wrong, 4000).empty());
}

TEST(CurveCodec, DecodeRefusesBrokenStreams)
{
    const std::vector<uint16_t> curve = IndentationCurve(300, 9);
    CCurveCodec codec;
    codec.SetUnsignedSamples(curve.data(), 300, 16, 1);
    const Bytes good = Encoded(codec, 1200);
    ASSERT_FALSE(good.empty());

    CCurveCodec decoder;
    EXPECT_FALSE(decoder.Decode(nullptr, 10));
    EXPECT_FALSE(decoder.Decode(good.data(), 0));
    Bytes bad = good;
    bad[0] = 0xC4;
    EXPECT_FALSE(decoder.Decode(bad.data(), static_cast<int>(bad.size())));
    bad = good;
    bad[1] = 0xB1;
    EXPECT_FALSE(decoder.Decode(bad.data(), static_cast<int>(bad.size())));
    for (uint8_t count : {0, 2})
    {
        bad = good;
        bad[2] = count;
        bad[3] = 0;
        EXPECT_FALSE(decoder.Decode(bad.data(), static_cast<int>(bad.size()))) << int(count);
    }

    // A flag announcing a field after the last one.
    BitWriter extraFlag = StreamHeader(4, 0);
    extraFlag.Put(1, 1), extraFlag.Put(1, 4); // W 1
    extraFlag.Put(1, 1), extraFlag.Put(0, 2); // constant
    extraFlag.Put(1, 1), extraFlag.Put(2, 3); // four samples
    extraFlag.Put(1, 1);                      // no such field
    extraFlag.Put(0, 8);
    Bytes stream = extraFlag.Finish();
    EXPECT_FALSE(decoder.Decode(stream.data(), static_cast<int>(stream.size())));

    // A parabolic block of two samples cannot be undone.
    BitWriter tooShort = StreamHeader(4, 0);
    tooShort.Put(1, 1), tooShort.Put(1, 4);
    tooShort.Put(1, 1), tooShort.Put(2, 2);
    tooShort.Put(1, 1), tooShort.Put(1, 3);
    tooShort.Put(0, 1);
    tooShort.Put(0, 16);
    stream = tooShort.Finish();
    EXPECT_FALSE(decoder.Decode(stream.data(), static_cast<int>(stream.size())));

    // Cut short: false, but what the stream held is decoded and the rest filled in.
    const int cut = static_cast<int>(good.size()) / 2;
    CCurveCodec partial;
    EXPECT_FALSE(partial.Decode(good.data(), cut));
    ASSERT_EQ(partial.GetCount(), 300);
    const std::vector<int16_t> samples = Decoded(partial);
    const std::vector<int16_t> expected = Signed(curve);
    EXPECT_TRUE(std::equal(samples.begin(), samples.begin() + 100, expected.begin()));

    // The decoder is reusable after a refusal.
    EXPECT_TRUE(decoder.Decode(good.data(), static_cast<int>(good.size())));
    EXPECT_EQ(Decoded(decoder), expected);
}

TEST(CurveCodec, EscapeWithoutItsFieldEndsTheDecoding)
{
    // One constant block of four samples at width 2: +1, then the escape pattern 0b10, whose
    // run of zero bits must end in a one within a few bits.
    auto escapeThen = [](int zeros, bool more)
    {
        BitWriter w = StreamHeader(4, 0);
        w.Put(1, 1), w.Put(2, 4); // W 2
        w.Put(1, 1), w.Put(0, 2); // constant
        w.Put(1, 1), w.Put(2, 3); // four samples
        w.Put(0, 1);
        w.Put(1, 2);    // +1
        w.Put(0b10, 2); // escape
        // The escaped field's length, in zero bits.
        for (int i = 0; i < zeros; ++i)
            w.Put(0, 1);
        if (more) // a one and plenty of bits for the remaining values
            for (int i = 0; i < 4; ++i)
                w.Put(0xFFFFFFFFu, 32);
        return w.Finish();
    };
    struct Case
    {
        const char* what;
        Bytes stream;
    };
    const Case cases[] = {
        {"escape at the end of the data", escapeThen(0, false)},
        {"escape, zero bits up to the end", escapeThen(40, false)},
        {"escape, a long run of zero bits, then data", escapeThen(40, true)},
    };
    for (const Case& c : cases)
    {
        CCurveCodec decoder;
        EXPECT_FALSE(decoder.Decode(c.stream.data(), static_cast<int>(c.stream.size()))) << c.what;
    }
}

TEST(CurveCodec, AStreamCutAtAnyByteDecodesAsIfZerosFollowed)
{
    // The reader takes eight bytes at a time and the last few one by one: wherever the stream
    // ends, the samples must be those of the same bytes followed by zeros, and the decode false.
    const std::vector<uint16_t> curve = IndentationCurve(300, 6);
    CCurveCodec codec;
    codec.SetBlockSize(8, 3);
    codec.SetUnsignedSamples(curve.data(), 300, 16, 1);
    const Bytes good = Encoded(codec, 1200);
    ASSERT_FALSE(good.empty());
    for (size_t cut = 1; cut < good.size(); ++cut)
    {
        Bytes padded(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        padded.resize(good.size() + 64, 0);
        CCurveCodec partial;
        CCurveCodec zeros;
        EXPECT_FALSE(partial.Decode(good.data(), static_cast<int>(cut))) << cut;
        zeros.Decode(padded.data(), static_cast<int>(padded.size()));
        ASSERT_EQ(partial.GetCount(), zeros.GetCount()) << cut;
        ASSERT_EQ(Decoded(partial), Decoded(zeros)) << cut;
    }
}

TEST(CurveCodec, ResetRestoresTheStartingSettings)
{
    const std::vector<uint16_t> curve = IndentationCurve(200, 4);
    CCurveCodec fresh;
    fresh.SetUnsignedSamples(curve.data(), 200, 16, 1);
    const Bytes expected = Encoded(fresh, 800);
    EXPECT_EQ(Encoded(fresh, 800), expected); // the samples stay loaded

    CCurveCodec reused;
    reused.SetBlockSize(64, 1);
    reused.SetHeader(3.0f, 4.0f, "x", 5.0f, 6.0f, "y");
    reused.SetUnsignedSamples(curve.data(), 200, 12, 1);
    reused.Reset();
    int16_t sample = 0;
    EXPECT_EQ(reused.GetSamples(&sample, 1000), 0);
    uint8_t buffer[64];
    EXPECT_EQ(reused.Encode(buffer, 64), 0);
    reused.SetUnsignedSamples(curve.data(), 200, 16, 1);
    EXPECT_EQ(Encoded(reused, 800), expected);
}
