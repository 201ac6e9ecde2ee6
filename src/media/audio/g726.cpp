#include "media/audio/g726.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

// The arithmetic below follows the ITU-T G.726 block by block, in the same
// fixed-point widths, so that both directions are bit-exact with any other
// conforming coder. Block names of the algorithm appear in the comments where
// they help to find one's way.

namespace kalix::media {
namespace {

using detail::G726State;

// Quantizer decision levels for the normalised log difference, in 1/128 of a
// power of two: 0.06, 1.70 and 2.58.
constexpr std::array<std::int32_t, 3> kDecisionLevels{8, 218, 331};

// Per code: the reconstructed log magnitude (-2048 stands for "zero"), the
// scale-factor multiplier W and the speed-control input F. Codes 4-7 are the
// negative half, one's complement of 3-0.
constexpr std::array<std::int32_t, 8> kDqln{-2048, 135, 273, 373, 373, 273, 135, -2048};
constexpr std::array<std::int32_t, 8> kW{-4, 30, 137, 582, 582, 137, 30, -4};
constexpr std::array<std::int32_t, 8> kF{0, 1, 2, 7, 7, 2, 1, 0};

constexpr std::uint16_t kFloatSign = 1u << 10;

std::int32_t bitLength(std::uint32_t v) { return static_cast<std::int32_t>(std::bit_width(v)); }

// Two's complement wrap-around to 16 bits, as the algorithm's adders do.
std::int32_t wrap16(std::int32_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFFu));
}

// FLOATA / FLOATB: magnitude to the 11-bit floating format.
std::uint16_t toFloat(bool negative, std::uint32_t magnitude) {
    const std::int32_t exponent = bitLength(magnitude);
    const std::uint32_t mantissa = magnitude == 0 ? 32u : (magnitude << 6) >> exponent;
    return static_cast<std::uint16_t>((negative ? kFloatSign : 0u) |
                                      static_cast<std::uint32_t>(exponent) << 6 | mantissa);
}

// FMULT: a predictor coefficient (16 bits, 14 fractional) times a value in
// floating format; the product carries one fractional bit.
std::int32_t fmult(std::int32_t coefficient, std::uint16_t value) {
    const std::int32_t an = coefficient >> 2;
    const std::uint32_t an_mag =
        an < 0 ? static_cast<std::uint32_t>(-an) & 0x1FFFu : static_cast<std::uint32_t>(an);
    const std::int32_t an_exp = bitLength(an_mag);
    const std::uint32_t an_mant = an_mag == 0 ? 32u : (an_mag << 6) >> an_exp;

    const std::int32_t exponent = an_exp + ((value >> 6) & 15);
    const std::uint32_t mantissa = (an_mant * (value & 63u) + 48u) >> 4;
    const std::uint32_t magnitude = exponent > 26 ? ((mantissa << 7) << (exponent - 26)) & 0x7FFFu
                                                  : (mantissa << 7) >> (26 - exponent);
    const bool negative = (an < 0) != ((value & kFloatSign) != 0);
    const auto product = static_cast<std::int32_t>(magnitude);
    return negative ? -product : product;
}

struct Prediction {
    std::int32_t se = 0;   // signal estimate (15 bits)
    std::int32_t sez = 0;  // its zero-section part
    std::int32_t y = 0;    // quantizer scale factor (13 bits)
};

Prediction predict(const G726State& s) {
    // ACCUM
    std::int32_t sezi = 0;
    for (std::size_t i = 0; i < s.b.size(); ++i) sezi += fmult(s.b[i], s.dq[i]);
    sezi = wrap16(sezi);
    const std::int32_t sei = wrap16(sezi + fmult(s.a[0], s.sr[0]) + fmult(s.a[1], s.sr[1]));

    // LIMA, MIX: the product is truncated toward zero.
    const std::int32_t al = s.ap >= 256 ? 64 : s.ap >> 2;
    const std::int32_t yl_int = s.yl >> 6;
    const std::int32_t dif = s.yu - yl_int;
    const std::int32_t product = dif >= 0 ? (dif * al) >> 6 : -((-dif * al) >> 6);

    return Prediction{sei >> 1, sezi >> 1, yl_int + product};
}

// LOG, SUBTB, QUAN. A zero-magnitude difference of either sign is sent as 7,
// so the encoder never produces the all-zero code.
std::uint8_t quantize(std::int32_t d, std::int32_t y) {
    const auto magnitude = static_cast<std::uint32_t>(std::abs(d));
    const std::int32_t exponent = magnitude == 0 ? 0 : bitLength(magnitude) - 1;
    const auto mantissa = static_cast<std::int32_t>(((magnitude << 7) >> exponent) & 127u);
    const std::int32_t dln = (exponent << 7) + mantissa - (y >> 2);

    const auto level = static_cast<std::uint8_t>(
        std::count_if(kDecisionLevels.begin(), kDecisionLevels.end(), [dln](std::int32_t t) { return dln >= t; }));
    if (d < 0) return static_cast<std::uint8_t>(7 - level);
    return level == 0 ? std::uint8_t{7} : level;
}

// Reconstructs the difference that `code` stands for, adapts the whole state
// to it and returns the reconstructed 14-bit signal.
std::int32_t reconstructAndAdapt(G726State& s, const Prediction& p, std::uint8_t code) {
    // RECONST, ADDA, ANTILOG
    const std::int32_t dql = kDqln[code] + (p.y >> 2);
    const std::int32_t dq_mag = dql < 0 ? 0 : ((128 + (dql & 127)) << 7) >> (14 - ((dql >> 7) & 15));
    const bool dq_negative = (code & 4u) != 0;
    const std::int32_t dq = dq_negative ? -dq_mag : dq_mag;

    // ADDB, ADDC
    const std::int32_t sr = p.se + dq;
    const std::int32_t dqsez = dq + p.sez;
    const std::uint8_t pk0 = dqsez < 0 ? std::uint8_t{1} : std::uint8_t{0};
    const bool sigpk = dqsez == 0;

    // TRANS: a large difference right after a tone means a transition.
    const std::int32_t yl_int = s.yl >> 15;
    const std::int32_t yl_frac = (s.yl >> 10) & 31;
    const std::int32_t thr = yl_int > 9 ? 31 << 10 : (32 + yl_frac) << yl_int;
    const bool tr = s.td && dq_mag > ((thr + (thr >> 1)) >> 1);

    // FUNCTW, FILTD, LIMB, FILTE. The slow factor gives up 1/64 of itself
    // rounded up, not down: one unit makes the difference for bit-exactness.
    s.yu = std::clamp(p.y + ((kW[code] * 32 - p.y) >> 5), 544, 5120);
    s.yl += s.yu - ((s.yl + 63) >> 6);

    // UPA2, LIMC, UPA1, LIMD, UPB, TONE, TRIGB
    bool tdp = false;
    if (tr) {
        s.a.fill(0);
        s.b.fill(0);
    } else {
        const bool pks1 = pk0 != s.pk[0];
        const bool pks2 = pk0 != s.pk[1];

        std::int32_t a2 = s.a[1] - (s.a[1] >> 7);
        if (!sigpk) {
            const std::int32_t fa1 = std::clamp(s.a[0], -8191, 8191) * 4;
            a2 += ((pks2 ? -16384 : 16384) + (pks1 ? fa1 : -fa1)) >> 7;
        }
        a2 = std::clamp(a2, -12288, 12288);

        std::int32_t a1 = s.a[0] - (s.a[0] >> 8);
        if (!sigpk) a1 += pks1 ? -192 : 192;
        const std::int32_t a1_limit = 15360 - a2;
        s.a[0] = std::clamp(a1, -a1_limit, a1_limit);
        s.a[1] = a2;

        for (std::size_t i = 0; i < s.b.size(); ++i) {
            std::int32_t b = s.b[i] - (s.b[i] >> 8);
            if (dq_mag != 0) b += dq_negative == ((s.dq[i] & kFloatSign) != 0) ? 128 : -128;
            s.b[i] = wrap16(b);
        }
        tdp = a2 < -11776;
    }
    s.td = tdp;

    // FLOATA, FLOATB and the delay lines
    std::copy_backward(s.dq.begin(), s.dq.end() - 1, s.dq.end());
    s.dq[0] = toFloat(dq_negative, static_cast<std::uint32_t>(dq_mag));
    s.sr[1] = s.sr[0];
    s.sr[0] = toFloat(sr < 0, static_cast<std::uint32_t>(std::abs(sr)) & 0x7FFFu);
    s.pk[1] = s.pk[0];
    s.pk[0] = pk0;

    // FUNCTF, FILTA, FILTB, SUBTC, FILTC: the speed control leans toward the
    // fast scale factor while the signal's level moves.
    s.dms += ((kF[code] << 9) - s.dms) >> 5;
    s.dml += ((kF[code] << 11) - s.dml) >> 7;
    const bool stationary = p.y >= 1536 && !tdp && std::abs((s.dms << 2) - s.dml) < (s.dml >> 3);
    s.ap = tr ? 256 : s.ap + (((stationary ? 0 : 512) - s.ap) >> 4);

    return sr;
}

std::int16_t toPcm16(std::int32_t sr) {
    // Near full scale the reconstruction can leave the 14-bit range; a wrap
    // would turn a loud passage into clicks.
    return static_cast<std::int16_t>(std::clamp(sr * 4, -32768, 32767));
}

}  // namespace

std::uint8_t G726Encoder::encodeSample(std::int16_t sample) {
    const Prediction p = predict(state_);
    const std::uint8_t code = quantize((sample >> 2) - p.se, p.y);
    reconstructAndAdapt(state_, p, code);
    return code;
}

G726Result G726Encoder::encode(std::span<const std::int16_t> samples, std::span<std::uint8_t> out) {
    if (samples.size() % kG726GroupSamples != 0) return {G726Status::PartialGroup, 0};
    const std::size_t bytes = g726PackedBytes(samples.size());
    if (out.size() < bytes) return {G726Status::OutputTooSmall, 0};

    auto dst = out.begin();
    for (std::size_t i = 0; i < samples.size(); i += kG726GroupSamples) {
        std::uint32_t bits = 0;
        for (std::size_t k = 0; k < kG726GroupSamples; ++k)
            bits |= static_cast<std::uint32_t>(encodeSample(samples[i + k])) << (3 * k);
        *dst++ = static_cast<std::uint8_t>(bits);
        *dst++ = static_cast<std::uint8_t>(bits >> 8);
        *dst++ = static_cast<std::uint8_t>(bits >> 16);
    }
    return {G726Status::Ok, bytes};
}

std::int16_t G726Decoder::decodeCode(std::uint8_t code) {
    const Prediction p = predict(state_);
    return toPcm16(reconstructAndAdapt(state_, p, static_cast<std::uint8_t>(code & 7u)));
}

G726Result G726Decoder::decode(std::span<const std::uint8_t> packed, std::span<std::int16_t> out) {
    if (packed.size() % kG726GroupBytes != 0) return {G726Status::PartialGroup, 0};
    const std::size_t values = g726SampleCount(packed.size());
    if (out.size() < values) return {G726Status::OutputTooSmall, 0};

    auto dst = out.begin();
    for (std::size_t i = 0; i < packed.size(); i += kG726GroupBytes) {
        const std::uint32_t bits = static_cast<std::uint32_t>(packed[i]) |
                                   static_cast<std::uint32_t>(packed[i + 1]) << 8 |
                                   static_cast<std::uint32_t>(packed[i + 2]) << 16;
        for (std::size_t k = 0; k < kG726GroupSamples; ++k)
            *dst++ = decodeCode(static_cast<std::uint8_t>((bits >> (3 * k)) & 7u));
    }
    return {G726Status::Ok, values};
}

}  // namespace kalix::media
