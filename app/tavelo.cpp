#include "app/tavelo.h"

#include "app/escreve_resultados.h"
#include "app/subrotinas.h"
#include "arithmetic/float_env.h"
#include "arithmetic/power.h"
#include "console/console_unit.h"
#include "console/free_input.h"
#include "platform/bit_cast.h"
#include "runtime/arrays.h"

namespace tavelo::app {
namespace {

using arithmetic::Extended;

constexpr float kTwo = 2.0f;
constexpr float kOne = 1.0f;
constexpr float kPrandtlThreshold = 10.0f;
constexpr float kRatioExponent = 0.25f;
constexpr float kExponentAbove = platform::bit_cast<float>(0x3EB851ECu);  // 0.36
constexpr float kExponentBelow = platform::bit_cast<float>(0x3EBD70A4u);  // 0.37

constexpr char kPromptPrs[] = "Digite o valor de Prs";
constexpr char kPromptPr[] = "Digite o valor de Pr";
constexpr char kPromptN[] = "Digite o numero de elementos dos conjuntos";

// The driver's scalars, arrays and descriptors live for the whole run.
Correlation state;

float* allocate_work_array(runtime::ArrayDescriptor& descriptor, std::int32_t n) {
  runtime::set_array_bounds(descriptor, 1, n);
  return static_cast<float*>(runtime::allocate_array(descriptor, 4));
}

void reynolds_series(Correlation& s) {
  const std::int64_t trips = trip_count(s.n);
  for (std::int64_t i = 1; i <= trips; ++i) {
    // i − 1.0, exact for every index.
    const Extended exponent =
        arithmetic::extended_from_integer(i - static_cast<std::int64_t>(kOne));
    s.re[i - 1] = arithmetic::store_single(
        arithmetic::real_power(arithmetic::extended_from_single(kTwo), exponent));
  }
}

// Nu = ((C * Re^m) * (Pr/Prs)^0.25) * Pr^nPr, kept wide until the store.
// The two powers of Pr are the same in every row: they are formed in the
// first row, in their place in its order (so a quotient or a power that
// fails does so there, after Re^m), and reused in the others.
void nusselt_loop(Correlation& s) {
  using arithmetic::extended_from_single;
  const std::int64_t trips = trip_count(s.n);
  Extended ratio_power{};
  Extended prandtl_power{};
  for (std::int64_t i = 0; i < trips; ++i) {
    Extended value =
        arithmetic::real_power(extended_from_single(s.re[i]), extended_from_single(s.m[i]));
    value = arithmetic::checked_multiply(value, extended_from_single(s.c[i]));
    if (i == 0) {
      const Extended ratio =
          arithmetic::checked_divide(extended_from_single(s.pr), extended_from_single(s.prs));
      ratio_power = arithmetic::real_power(ratio, extended_from_single(kRatioExponent));
    }
    value = arithmetic::checked_multiply(value, ratio_power);
    if (i == 0)
      prandtl_power =
          arithmetic::real_power(extended_from_single(s.pr), extended_from_single(s.n_pr));
    value = arithmetic::checked_multiply(value, prandtl_power);
    s.nu[i] = arithmetic::store_single(value);
  }
}

}  // namespace

void compute_correlation(Correlation& s) {
  s.re = allocate_work_array(s.re_descriptor, s.n);
  s.m = allocate_work_array(s.m_descriptor, s.n);
  s.nu = allocate_work_array(s.nu_descriptor, s.n);
  s.c = allocate_work_array(s.c_descriptor, s.n);
  reynolds_series(s);
  calcula_C(s.n, s.re, s.c);
  calcula_m(s.n, s.re, s.m);
  s.n_pr = s.pr > kPrandtlThreshold ? kExponentAbove : kExponentBelow;
  nusselt_loop(s);
}

int programa_principal() {
  console::console_write_line(kPromptPrs, sizeof kPromptPrs - 1);
  console::console_read_real(state.prs);
  console::console_write_line(kPromptPr, sizeof kPromptPr - 1);
  console::console_read_real(state.pr);
  console::console_write_line(kPromptN, sizeof kPromptN - 1);
  console::console_read_integer(state.n);
  compute_correlation(state);
  escreve_resultados(state.n, state.c, state.m, state.re, state.nu);
  return 0;
}

}  // namespace tavelo::app
