#pragma once
#include <cstdint>
#include <functional>
#include <memory>

// Packs an indentation curve (16-bit samples) into the compact bit stream that is stored with a
// reading as its attachment, and unpacks it again.
//
// The stream starts with the bytes 0xC5 0xB0, the sample count, two axis descriptions, the sample
// width and the first sample, followed by blocks of 2^k samples. Each block removes a trend
// predicted from a few parameters (constant, linear, parabolic or cubic) and writes the small
// residuals at a width chosen per block, with an escape for the few values that do not fit.
// Decoding returns exactly the samples that were loaded.
//
// One object serves one curve at a time: load samples and encode, or decode and take the samples.
class CCurveCodec
{
public:
    // Called before each block with the index of the block's first sample; it may change the block
    // exponent (0 to 7) and the predictor (0 to 3) from this block on and returns true when it did.
    // It must not call back into the codec.
    using BlockCallback = std::function<bool(int firstSample, int& exponent, int& predictor)>;

    // One axis of the curve: two numbers the caller gives meaning to (sampling period, scale) and a
    // unit text of up to 8 one-byte characters, not terminated when all 8 are used.
    struct Axis
    {
        float first = 1.0f;
        float second = 0.0f;
        char unit[8] = {};
    };

    CCurveCodec();
    ~CCurveCodec();
    CCurveCodec(const CCurveCodec&) = delete;
    CCurveCodec& operator=(const CCurveCodec&) = delete;

    // Releases the samples and restores the starting settings (block 16, parabolic, no callback,
    // axes 1.0 and 0.0 without units).
    void Reset();
    // size 2 to 128, rounded up to a power of two; predictor 0 constant, 1 linear, 2 parabolic,
    // 3 cubic. False, and nothing changed, for other values.
    bool SetBlockSize(int size, int predictor, BlockCallback callback = {});
    // An absent unit text is an empty one; longer texts keep their first 8 characters.
    bool SetHeader(float xFirst, float xSecond, const char* xUnit, float yFirst, float ySecond,
                   const char* yUnit);

    // Loads every step-th of count samples, requantised to width bits (1 to 16). At least 3
    // samples must result.
    bool SetSamples(const int16_t* samples, int count, int width, int step);
    // The same for unsigned samples, each stored as sample - 0x8000.
    bool SetUnsignedSamples(const uint16_t* samples, int count, int width, int step);
    bool EnsureCapacity(int n);

    // Writes the loaded curve into the buffer; the number of bytes written, 0 when the buffer is
    // absent or too small, no curve or one of more than 65535 samples is loaded, or the settings
    // cannot give a stream that decodes to the samples.
    int Encode(uint8_t* buffer, int size);
    // Reads a stream; true only when it was valid and complete. A stream cut short still fills the
    // samples it holds (the rest as if the missing bits were zeros).
    bool Decode(const uint8_t* data, int size);
    // Copies count * 2 bytes of samples; the number of bytes copied, 0 when they do not fit.
    int GetSamples(int16_t* buffer, int bytes) const;

    int GetCount() const { return m_count; }
    int GetSampleWidth() const { return m_sampleWidth; }
    const Axis& GetXAxis() const { return m_xAxis; }
    const Axis& GetYAxis() const { return m_yAxis; }

private:
    enum class Mode
    {
        Idle,
        Reading,
        Writing,
    };

    bool HasSamples() const;
    bool EncodeStream();
    bool DecodeStream(const uint8_t* data, int size);
    void WriteAxis(const Axis& axis);
    // 1 when the callback changed exponent and predictor, 0 when it did not, -1 when it asked
    // for values that no block can have.
    int AskCallback(int position, int& exponent, int& predictor);

    void Attach(uint8_t* buffer, int size, Mode mode);
    void Detach();
    void WriteBits(uint32_t value, int n);
    void WriteValue(int32_t value, int width);

    // sample store
    int m_capacity = 0;
    int m_count = 0;
    std::unique_ptr<int16_t[]> m_samples;
    int m_sampleWidth = 16;
    Axis m_xAxis;
    Axis m_yAxis;
    int m_blockLength = 16;
    int m_exponent = 4;
    int m_predictor = 2;

    // bit stream being written; reading keeps its state on the stack of Decode
    int m_streamSize = 0;
    int m_bytesDone = 0; // written so far
    int m_bytePosition = 0;
    uint8_t* m_writeBuffer = nullptr;
    int m_pendingBits = 0;  // bits held in m_pending
    uint64_t m_pending = 0; // bits not yet written
    bool m_overrun = false; // a write did not fit
    Mode m_mode = Mode::Idle;

    BlockCallback m_callback;
};
