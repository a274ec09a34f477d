#pragma once

#include <string>
#include <vector>

// Summary of a series of durations in milliseconds.
struct Summary
{
    double median = 0;
    double p95 = 0;
    double min = 0;
    double max = 0;
    std::size_t count = 0;
};

Summary summarize(std::vector<double> values);

// One table row: name, median, p95, min, max, n.
std::string tableRow(const std::string &name, const Summary &summary);
std::string tableHeader();
