// Nonlinear least squares by Levenberg-Marquardt with central-difference derivatives: small,
// dense and deterministic (the same start gives the same steps and the same answer).
#pragma once

#include <functional>
#include <vector>

using Residuals = std::function<std::vector<double>(const std::vector<double> &)>;

// The derivatives of the residuals at x, column j by parameter j (a row per residual).
std::vector<std::vector<double>> numeric_jacobian(const Residuals &f, const std::vector<double> &x);

struct LeastSquaresFit {
    std::vector<double> x;
    double cost = 0; // the sum of the squared residuals at x
    int iterations = 0;
};

// Minimises the sum of squared residuals from x0.
LeastSquaresFit levenberg_marquardt(const Residuals &f, std::vector<double> x0);

// The rank of a matrix's columns, each scaled to unit length first: how many parameters the
// residuals can tell apart (a column under `tolerance` after its projection out of the others
// counts for none).
int column_rank(const std::vector<std::vector<double>> &rows, double tolerance = 1e-6);
