#include "security/rc4.h"

#include <utility>

namespace brisel {

void Rc4SetKey(Rc4State& state, const uint8_t* key, size_t keyLength) {
    state.x = state.y = 0;
    for (int i = 0; i < 256; ++i) state.s[i] = static_cast<uint8_t>(i);
    int j = 0;
    for (int i = 0; i < 256; ++i) {
        j = (j + state.s[i] + key[static_cast<size_t>(i) % keyLength]) & 255;
        std::swap(state.s[i], state.s[j]);
    }
}

uint8_t Rc4Next(Rc4State& state) {
    state.x = (state.x + 1) & 255;
    state.y = (state.y + state.s[state.x]) & 255;
    std::swap(state.s[state.x], state.s[state.y]);
    return state.s[(state.s[state.x] + state.s[state.y]) & 255];
}

void Rc4Crypt(Rc4State& state, uint8_t* out, const uint8_t* in, size_t length) {
    for (size_t i = 0; i < length; ++i) out[i] = in[i] ^ Rc4Next(state);
}

void Rc4(const uint8_t* key, size_t keyLength, uint8_t* out, const uint8_t* in, size_t length) {
    Rc4State state;
    Rc4SetKey(state, key, keyLength);
    Rc4Crypt(state, out, in, length);
}

}  // namespace brisel
