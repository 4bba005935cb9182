/* The floor for the whole-run cost: the same dialogue and table with plain
 * stdio and libm. Three prompts, three scanf, the header and N rows of
 * resultados.txt with fprintf; no viewer. Built and measured by
 * bench/whole_run.sh. */
#include <math.h>
#include <stdio.h>

int main(void) {
  float prs = 0.0f, pr = 0.0f;
  int n = 0;
  printf("Digite o valor de Prs\r\n");
  if (scanf("%f", &prs) != 1) return 1;
  printf("Digite o valor de Pr\r\n");
  if (scanf("%f", &pr) != 1) return 1;
  printf("Digite o numero de elementos dos conjuntos\r\n");
  if (scanf("%d", &n) != 1 || n < 0 || n > 128) return 1;
  FILE *file = fopen("resultados.txt", "wb");
  if (file == NULL) return 1;
  fprintf(file, "Elemento i - C(i) - m(i) - Re(i) - Nu(i)\r\n");
  const float n_pr = pr > 10.0f ? 0.36f : 0.37f;
  for (int i = 1; i <= n; ++i) {
    const float re = (float)pow(2.0, i - 1.0);
    float c = 0.0f, m = 0.0f;
    if (re >= 1.0f && re < 40.0f) c = 0.75f, m = 0.4f;
    else if (re >= 40.0f && re < 1000.0f) c = 0.51f, m = 0.5f;
    else if (re >= 1000.0f && re < 200000.0f) c = 0.26f, m = 0.6f;
    else if (re >= 200000.0f && re < 1000000.0f) c = 0.076f, m = 0.7f;
    const float nu = (float)(c * pow(re, m) * pow(pr / prs, 0.25) * pow(pr, n_pr));
    fprintf(file, "%5d%15.6E%15.6E%15.6E%15.6E\r\n", i, c, m, re, nu);
  }
  return fclose(file) == 0 ? 0 : 1;
}
