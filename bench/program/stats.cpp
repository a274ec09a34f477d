#include "stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Nearest-rank percentile of sorted values.
double percentile(const std::vector<double> &sorted, double fraction)
{
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

} // namespace

Summary summarize(std::vector<double> values)
{
    Summary summary;
    if (values.empty()) {
        return summary;
    }
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    summary.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    summary.p95 = percentile(values, 0.95);
    summary.min = values.front();
    summary.max = values.back();
    summary.count = n;
    return summary;
}

std::string tableHeader()
{
    char line[160];
    std::snprintf(line, sizeof line, "%-34s %9s %9s %9s %9s %5s", "", "median", "p95", "min", "max", "n");
    return line;
}

std::string tableRow(const std::string &name, const Summary &summary)
{
    char line[160];
    std::snprintf(line, sizeof line, "%-34s %6.1f ms %6.1f ms %6.1f ms %6.1f ms %5zu", name.c_str(), summary.median,
                  summary.p95, summary.min, summary.max, summary.count);
    return line;
}
