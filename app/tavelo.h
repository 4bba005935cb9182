// The program itself: the dialogue, the correlation and the hand-over to
// the results writer.
#pragma once

#include <cstdint>

#include "runtime/arrays.h"

namespace tavelo::app {

// The state the driver keeps for the whole run.
struct Correlation {
  float prs = 0.0f;
  float pr = 0.0f;
  std::int32_t n = 0;
  float* re = nullptr;
  float* m = nullptr;
  float* nu = nullptr;
  float* c = nullptr;
  float n_pr = 0.0f;
  runtime::ArrayDescriptor re_descriptor, m_descriptor, nu_descriptor, c_descriptor;
};

// Allocates the work arrays and fills Re, C, m and Nu from Prs, Pr and N.
void compute_correlation(Correlation& state);

// The whole run; returns 0 for the normal end.
int programa_principal();

}  // namespace tavelo::app
