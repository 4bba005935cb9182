// The coefficient bands and the results writer.
#pragma once

#include <cstdint>

namespace tavelo::app {

// C(i) and m(i) from the Reynolds band of Re(i); elements outside every
// band keep what they held.
void calcula_C(const std::int32_t& n, const float* re, float* c);
void calcula_m(const std::int32_t& n, const float* re, float* m);

// Writes resultados.txt and shows it in the text editor.
void escreve_resultados(const std::int32_t& n, const float* c, const float* m, const float* re,
                        const float* nu);

}  // namespace tavelo::app
