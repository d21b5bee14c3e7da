#include "chips/least_squares.h"

#include <cmath>

namespace {

double sum_of_squares(const std::vector<double> &r) {
    double s = 0;
    for (double v : r)
        s += v * v;
    return s;
}

// Solves a x = b for a small symmetric positive definite a by Gaussian elimination with
// partial pivoting; false when a is singular.
bool solve(std::vector<std::vector<double>> a, std::vector<double> b, std::vector<double> &x) {
    const size_t n = b.size();
    for (size_t c = 0; c < n; c++) {
        size_t pivot = c;
        for (size_t r = c + 1; r < n; r++)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        if (!(std::fabs(a[pivot][c]) > 0))
            return false;
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        for (size_t r = c + 1; r < n; r++) {
            const double k = a[r][c] / a[c][c];
            for (size_t j = c; j < n; j++)
                a[r][j] -= k * a[c][j];
            b[r] -= k * b[c];
        }
    }
    x.assign(n, 0);
    for (size_t c = n; c-- > 0;) {
        double s = b[c];
        for (size_t j = c + 1; j < n; j++)
            s -= a[c][j] * x[j];
        x[c] = s / a[c][c];
    }
    return true;
}

} // namespace

std::vector<std::vector<double>> numeric_jacobian(const Residuals &f,
                                                  const std::vector<double> &x) {
    std::vector<std::vector<double>> jacobian;
    for (size_t j = 0; j < x.size(); j++) {
        const double h = 1e-6 * std::max(1.0, std::fabs(x[j]));
        std::vector<double> up = x, down = x;
        up[j] += h;
        down[j] -= h;
        const std::vector<double> r_up = f(up), r_down = f(down);
        if (jacobian.empty())
            jacobian.assign(r_up.size(), std::vector<double>(x.size(), 0));
        for (size_t i = 0; i < r_up.size(); i++)
            jacobian[i][j] = (r_up[i] - r_down[i]) / (up[j] - down[j]);
    }
    return jacobian;
}

LeastSquaresFit levenberg_marquardt(const Residuals &f, std::vector<double> x) {
    const size_t n = x.size();
    std::vector<double> r = f(x);
    double cost = sum_of_squares(r);
    double lambda = 1e-3;
    int iteration = 0;
    for (; iteration < 200 && cost > 0; iteration++) {
        const std::vector<std::vector<double>> jacobian = numeric_jacobian(f, x);
        std::vector<std::vector<double>> a(n, std::vector<double>(n, 0));
        std::vector<double> g(n, 0);
        for (size_t i = 0; i < r.size(); i++)
            for (size_t p = 0; p < n; p++) {
                g[p] -= jacobian[i][p] * r[i];
                for (size_t q = 0; q < n; q++)
                    a[p][q] += jacobian[i][p] * jacobian[i][q];
            }
        bool improved = false;
        double largest_step = 0;
        while (lambda < 1e12) {
            std::vector<std::vector<double>> damped = a;
            for (size_t p = 0; p < n; p++)
                damped[p][p] += lambda * (a[p][p] > 0 ? a[p][p] : 1);
            std::vector<double> step;
            if (!solve(damped, g, step)) {
                lambda *= 10;
                continue;
            }
            std::vector<double> next = x;
            largest_step = 0;
            for (size_t p = 0; p < n; p++) {
                next[p] += step[p];
                largest_step =
                    std::max(largest_step, std::fabs(step[p]) / std::max(1.0, std::fabs(x[p])));
            }
            const std::vector<double> next_r = f(next);
            const double next_cost = sum_of_squares(next_r);
            if (next_cost < cost) {
                x = next, r = next_r, cost = next_cost;
                lambda = std::max(lambda / 10, 1e-12);
                improved = true;
                break;
            }
            lambda *= 10;
        }
        if (!improved || largest_step < 1e-14)
            break;
    }
    return LeastSquaresFit{x, cost, iteration};
}

int column_rank(const std::vector<std::vector<double>> &rows, double tolerance) {
    if (rows.empty())
        return 0;
    const size_t n = rows[0].size();
    std::vector<std::vector<double>> basis; // orthonormal columns found so far
    int rank = 0;
    for (size_t j = 0; j < n; j++) {
        std::vector<double> column;
        double norm = 0;
        for (const auto &row : rows)
            column.push_back(row[j]), norm += row[j] * row[j];
        norm = std::sqrt(norm);
        if (!(norm > 0))
            continue;
        for (double &v : column)
            v /= norm;
        for (int pass = 0; pass < 2; pass++)
            for (const auto &b : basis) {
                double dot = 0;
                for (size_t i = 0; i < column.size(); i++)
                    dot += b[i] * column[i];
                for (size_t i = 0; i < column.size(); i++)
                    column[i] -= dot * b[i];
            }
        double left = 0;
        for (double v : column)
            left += v * v;
        left = std::sqrt(left);
        if (left < tolerance)
            continue;
        for (double &v : column)
            v /= left;
        basis.push_back(column);
        rank++;
    }
    return rank;
}
