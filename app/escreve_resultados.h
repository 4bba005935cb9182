// The program's last step: the table to resultados.txt, then the viewer.
#pragma once

#include <cstdint>

namespace tavelo::app {

// Writes resultados.txt and shows it in the text editor.
void escreve_resultados(const std::int32_t& n, const float* c, const float* m, const float* re,
                        const float* nu);

}  // namespace tavelo::app
