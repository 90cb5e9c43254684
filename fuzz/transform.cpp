// The streaming word transform against the word-at-every-position loop, on any
// bytes, cut into pieces chosen by the input, in both directions.
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "core/transform.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Step(Bytes& f, std::size_t i, std::uint32_t delta, bool add) {
    std::uint32_t w = 0;
    for (int b = 3; b >= 0; --b) w = w << 8 | f[i + b];
    w = add ? w + delta : w - delta;
    for (int b = 0; b < 4; ++b) f[i + b] = std::uint8_t(w >> (8 * b));
}

Bytes Literal(const Bytes& in, std::uint32_t delta, bool forward) {
    Bytes f(in);
    if (forward) {
        if (f.empty()) return f;
        f.resize(in.size() + 3, 0);
        for (std::size_t i = 0; i < in.size(); ++i) Step(f, i, delta, true);
    } else {
        if (f.size() < 3) return f;
        for (std::size_t i = f.size() - 3; i-- > 0;) Step(f, i, delta, false);
        f.resize(f.size() - 3);
    }
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint32_t delta = 1 + data[0] % 2;
    const std::size_t piece = 1 + data[1] % 97;  // streaming piece length
    const Bytes text(data + 2, data + size);

    const Bytes locked = Literal(text, delta, true);
    if (kv::AddWordsForward(text, delta) != locked) std::abort();
    if (kv::SubWordsBackward(locked, delta) != text) std::abort();
    if (kv::SubWordsBackward(text, delta) != Literal(text, delta, false)) std::abort();

    // The same through the streams in pieces, in place.
    kv::ForwardWordStream fwd(delta);
    Bytes enc(text);
    for (std::size_t at = 0; at < enc.size(); at += piece)
        fwd.Process(enc.data() + at, std::min(piece, enc.size() - at));
    enc.resize(text.size() + 3);
    enc.resize(text.size() + fwd.Finish(enc.data() + text.size()));
    if (enc != locked) std::abort();

    if (text.size() >= 3) {
        kv::BackwardWordStream bwd(delta);
        Bytes dec(text.begin(), text.end() - 3);
        for (std::size_t at = 0; at < dec.size(); at += piece)
            bwd.Process(dec.data() + at, std::min(piece, dec.size() - at));
        if (dec != Literal(text, delta, false)) std::abort();
    }
    return 0;
}
