#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "kinematicsmath.h"
#include "robotKinematics.h"

using kinematics_detail::allFinite;

namespace {

constexpr double kHalfUlpOfOne = 0x1p-53;

// Scratch storage; a failed allocation is an ordinary failure result, never an exception.
std::unique_ptr<double[]> scratch(std::size_t count) {
    return std::unique_ptr<double[]>(new (std::nothrow) double[count]);
}

}  // namespace

bool positiveDefiniteMatrixInverse(double *a, int n) {
    if (a == nullptr || n <= 0) {
        return false;
    }
    const std::unique_ptr<double[]> b = scratch(static_cast<std::size_t>(n));
    if (!b) {
        return false;
    }
    auto at = [a, n](int r, int c) -> double & { return a[r * n + c]; };
    for (int k = 0; k < n; ++k) {
        const double w = at(0, 0);
        // A pivot that vanishes next to 1.0 in double precision (1.0 + |w| == 1.0), written
        // so that x87 extended precision on 32-bit builds does not change the verdict and a
        // NaN pivot fails as well.
        if (!(std::fabs(w) > kHalfUlpOfOne)) {
            return false;
        }
        for (int i = 1; i < n; ++i) {
            const double g = at(i, 0);
            b[i] = g / w;
            if (i <= n - 1 - k) {
                b[i] = -b[i];
            }
            for (int j = 1; j <= i; ++j) {
                at(i - 1, j - 1) = at(i, j) + g * b[j];
            }
        }
        at(n - 1, n - 1) = 1.0 / w;
        for (int i = 1; i < n; ++i) {
            at(n - 1, i - 1) = b[i];
        }
    }
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            at(i, j) = at(j, i);
        }
    }
    // Non-finite or overflowing elements leave no usable inverse.
    return allFinite(a, n * n);
}

bool matrixMultiplication(double *product, double *left, double *right, unsigned m, unsigned n,
                          unsigned l, bool reset, bool noLeftTranspose) {
    if (product == nullptr || left == nullptr || right == nullptr) {
        return false;
    }
    const std::size_t cells = static_cast<std::size_t>(m) * l;
    const std::unique_ptr<double[]> sum = scratch(cells);
    if (!sum) {
        return false;
    }
    for (unsigned i = 0; i < m; ++i) {
        for (unsigned j = 0; j < l; ++j) {
            double acc = reset ? 0.0 : product[static_cast<std::size_t>(i) * l + j];
            for (unsigned k = 0; k < n; ++k) {
                const double lhs = noLeftTranspose ? left[static_cast<std::size_t>(i) * n + k]
                                                   : left[static_cast<std::size_t>(k) * m + i];
                acc += lhs * right[static_cast<std::size_t>(k) * l + j];
            }
            sum[static_cast<std::size_t>(i) * l + j] = acc;
        }
    }
    for (std::size_t c = 0; c < cells; ++c) {
        product[c] = sum[c];
    }
    return true;
}

void vectorCrossProduct(Pos &res, Pos a, Pos b, bool norm) {
    res.x = a.y * b.z - a.z * b.y;
    res.y = a.z * b.x - a.x * b.z;
    res.z = a.x * b.y - a.y * b.x;
    if (norm) {
        const double len = std::sqrt(res.x * res.x + res.y * res.y + res.z * res.z);
        res.x /= len;
        res.y /= len;
        res.z /= len;
    }
}

bool arrayInvChasing(double *ddPn, double *A, double *y, int dim, bool full_A) {
    if (ddPn == nullptr || A == nullptr || y == nullptr || dim < 2) {
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(dim);
    const std::unique_ptr<double[]> beta = scratch(size);
    const std::unique_ptr<double[]> z = scratch(size);
    if (!beta || !z) {
        return false;
    }
    // Sub-diagonal, diagonal and super-diagonal element of row i in either layout.
    const std::size_t stride = size + 1;
    auto sub = [&](std::size_t i) { return full_A ? A[i * stride - 1] : A[i]; };
    auto diag = [&](std::size_t i) { return full_A ? A[i * stride] : A[size + i]; };
    auto super = [&](std::size_t i) { return full_A ? A[i * stride + 1] : A[2 * size + i]; };

    // Without pivot search a zero or non-finite pivot means no usable solution; the output is
    // written only once the whole solution is known to be finite.
    const auto usable = [](double pivot) { return pivot != 0.0 && std::isfinite(pivot); };
    if (!usable(diag(0))) {
        return false;
    }
    beta[0] = super(0) / diag(0);
    z[0] = y[0] / diag(0);
    for (std::size_t i = 1; i + 1 < size; ++i) {
        const double m = diag(i) - sub(i) * beta[i - 1];
        if (!usable(m)) {
            return false;
        }
        beta[i] = super(i) / m;
        z[i] = (y[i] - sub(i) * z[i - 1]) / m;
    }
    const std::size_t last = size - 1;
    const double m = diag(last) - sub(last) * beta[last - 1];
    if (!usable(m)) {
        return false;
    }
    z[last] = (y[last] - sub(last) * z[last - 1]) / m;
    // Back substitution in place: z becomes the solution.
    for (std::size_t i = last; i-- > 0;) {
        z[i] -= beta[i] * z[i + 1];
    }
    if (!allFinite(z.get(), dim)) {
        return false;
    }
    std::copy(z.get(), z.get() + size, ddPn);
    return true;
}
