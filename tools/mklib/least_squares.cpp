// Least squares by Householder QR in long double, with scaled columns.
#include "tools/mklib/fits.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace mklib {

std::vector<double> least_squares(std::vector<long double> A, std::vector<long double> b,
                                         int rows, int cols)
{
    if (rows < cols) throw std::runtime_error("least squares: too few rows");
    std::vector<long double> scale(cols, 1.0L);
    for (int j = 0; j < cols; ++j) {
        long double m = 0;
        for (int i = 0; i < rows; ++i) m = std::max(m, std::fabs(A[i * cols + j]));
        if (m > 0) scale[j] = m;
        for (int i = 0; i < rows; ++i) A[i * cols + j] /= scale[j];
    }
    for (int k = 0; k < cols; ++k) {
        long double norm = 0;
        for (int i = k; i < rows; ++i) norm += A[i * cols + k] * A[i * cols + k];
        norm = std::sqrt(norm);
        if (norm == 0) throw std::runtime_error("least squares: singular columns");
        const long double alpha = A[k * cols + k] > 0 ? -norm : norm;
        std::vector<long double> v(rows - k);
        for (int i = k; i < rows; ++i) v[i - k] = A[i * cols + k];
        v[0] -= alpha;
        long double vv = 0;
        for (auto x : v) vv += x * x;
        if (vv == 0) continue;
        for (int j = k; j < cols; ++j) {
            long double d = 0;
            for (int i = k; i < rows; ++i) d += v[i - k] * A[i * cols + j];
            d = 2 * d / vv;
            for (int i = k; i < rows; ++i) A[i * cols + j] -= d * v[i - k];
        }
        long double d = 0;
        for (int i = k; i < rows; ++i) d += v[i - k] * b[i];
        d = 2 * d / vv;
        for (int i = k; i < rows; ++i) b[i] -= d * v[i - k];
    }
    std::vector<long double> x(cols);
    for (int k = cols - 1; k >= 0; --k) {
        long double s = b[k];
        for (int j = k + 1; j < cols; ++j) s -= A[k * cols + j] * x[j];
        x[k] = s / A[k * cols + k];
    }
    std::vector<double> out(cols);
    for (int j = 0; j < cols; ++j) out[j] = static_cast<double>(x[j] / scale[j]);
    return out;
}

}  // namespace mklib
