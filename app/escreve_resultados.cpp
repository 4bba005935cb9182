#include "app/escreve_resultados.h"

#include "launch/system.h"
#include "results/results_file.h"

namespace tavelo::app {
namespace {

constexpr char kResultsName[] = "resultados.txt";
constexpr char kViewerCommand[] = "notepad resultados.txt";

}  // namespace

void escreve_resultados(const std::int32_t& n, const float* c, const float* m, const float* re,
                        const float* nu) {
  results::open_results_file(kResultsName, sizeof kResultsName - 1);
  results::write_header_record();
  const std::int32_t rows = n;
  for (std::int32_t i = 1; i <= rows; ++i) {
    results::write_row_record(i, c[i - 1], m[i - 1], re[i - 1], nu[i - 1]);
  }
  results::close_results_file();
  // The viewer's exit code, or its failure to start, is not the program's.
  launch::system(kViewerCommand, sizeof kViewerCommand - 1);
}

}  // namespace tavelo::app
