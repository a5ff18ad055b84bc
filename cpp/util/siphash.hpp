#pragma once
// SipHash (Aumasson and Bernstein). Value hashes use SipHash-1-3 with a zero key,
// so a value hashes alike in every process. Written here (a few dozen lines)
// because the values' hashes are fixed to exactly this function and key.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orbweave {

template <int CompressionRounds, int FinalizationRounds>
class SipHasher {
public:
    explicit SipHasher(uint64_t k0 = 0, uint64_t k1 = 0)
        : v0_(k0 ^ 0x736f6d6570736575ULL), v1_(k1 ^ 0x646f72616e646f6dULL),
          v2_(k0 ^ 0x6c7967656e657261ULL), v3_(k1 ^ 0x7465646279746573ULL) {}

    void write(const void* data, size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        length_ += size;
        for (size_t i = 0; i < size; ++i) {
            tail_ |= static_cast<uint64_t>(bytes[i]) << (8 * ntail_);
            if (++ntail_ == 8) {
                compress(tail_);
                tail_ = 0;
                ntail_ = 0;
            }
        }
    }
    void write_u64(uint64_t value) {
        unsigned char bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
        write(bytes, 8);
    }
    void write_u32(uint32_t value) {
        unsigned char bytes[4];
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
        write(bytes, 4);
    }
    void write_i64(int64_t value) { write_u64(static_cast<uint64_t>(value)); }
    void write_f64(double value) { write_u64(std::bit_cast<uint64_t>(value)); }
    // Length-prefixed, so that ("ab", "c") and ("a", "bc") differ.
    void write_text(std::string_view text) {
        write_u64(text.size());
        write(text.data(), text.size());
    }

    uint64_t finish() const {
        uint64_t v0 = v0_, v1 = v1_, v2 = v2_, v3 = v3_;
        const uint64_t last = ((length_ & 0xff) << 56) | tail_;
        v3 ^= last;
        for (int i = 0; i < CompressionRounds; ++i) round(v0, v1, v2, v3);
        v0 ^= last;
        v2 ^= 0xff;
        for (int i = 0; i < FinalizationRounds; ++i) round(v0, v1, v2, v3);
        return v0 ^ v1 ^ v2 ^ v3;
    }

private:
    static void round(uint64_t& v0, uint64_t& v1, uint64_t& v2, uint64_t& v3) {
        v0 += v1; v1 = std::rotl(v1, 13); v1 ^= v0; v0 = std::rotl(v0, 32);
        v2 += v3; v3 = std::rotl(v3, 16); v3 ^= v2;
        v0 += v3; v3 = std::rotl(v3, 21); v3 ^= v0;
        v2 += v1; v1 = std::rotl(v1, 17); v1 ^= v2; v2 = std::rotl(v2, 32);
    }
    void compress(uint64_t m) {
        v3_ ^= m;
        for (int i = 0; i < CompressionRounds; ++i) round(v0_, v1_, v2_, v3_);
        v0_ ^= m;
    }

    uint64_t v0_, v1_, v2_, v3_;
    uint64_t tail_ = 0;    // pending bytes, little-endian
    size_t ntail_ = 0;     // number of pending bytes
    uint64_t length_ = 0;  // total bytes written
};

using SipHasher13 = SipHasher<1, 3>;

}  // namespace orbweave
