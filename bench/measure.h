#pragma once
// Timing, statistics and the result table of the benchmark. Every figure is
// a set of repetitions (median [min..max]) measured next to a floor in the
// same process and run, and the ratio between the two.
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// Seconds on the performance counter.
double Now();

// Runs `body` and returns the seconds it took.
double Time(const std::function<void()>& body);

struct Sample {
    std::vector<double> values;
    void Add(double value) { values.push_back(value); }
    bool Empty() const { return values.empty(); }
    double Median() const;
    double Min() const;
    double Max() const;
};

// How a figure is judged against its target, from the medians.
struct Target {
    std::string text;        // as printed, e.g. "<= 1.3x the floor"
    double maxRatio = 0;     // ratio at most this (0: no ratio target)
    double maxLibrary = 0;   // library median at most this (0: none)
};

struct Figure {
    Figure(std::string name_, std::string unit_) : name(std::move(name_)), unit(std::move(unit_)) {}
    std::string name;
    std::string unit;        // of the library and floor columns
    Sample library;
    Sample floor;
    Sample ratio;            // library over floor, per repetition
    std::string floorName;   // what the floor is
    Target target;
};

class Table {
public:
    explicit Table(std::string title) : title_(std::move(title)) {}
    Figure& Add(Figure figure);
    // Prints the table as markdown to stdout and, if `path` is given, to
    // that file.
    bool Write(const std::wstring& path) const;
    // Writes the figures that have a target as tab-separated lines: name,
    // the judged value (the ratio, or the library's figure), target, verdict.
    bool WriteTargets(const std::wstring& path) const;

private:
    std::string Render() const;
    std::string title_;
    std::vector<Figure> figures_;
};

// Per-repetition ratio `a` over `b` (pairwise, so each pair comes from the
// same repetition).
Sample Ratios(const Sample& a, const Sample& b);

// 100000 as "100,000".
std::string Grouped(long n);

// Repeats `body` (which adds one repetition's values) up to `most` times,
// stopping after the first repetition that ends past `budget` seconds.
void Repeat(int most, double budget, const std::function<void()>& body);

}  // namespace bench
