#include "measure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace bench {

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

double Time(const std::function<void()>& body) {
    const double start = Now();
    body();
    return Now() - start;
}

namespace {
std::vector<double> Sorted(const std::vector<double>& values) {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}
}  // namespace

double Sample::Median() const {
    if (values.empty()) return NAN;
    std::vector<double> s = Sorted(values);
    const size_t n = s.size();
    return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
}
double Sample::Min() const { return values.empty() ? NAN : *std::min_element(values.begin(), values.end()); }
double Sample::Max() const { return values.empty() ? NAN : *std::max_element(values.begin(), values.end()); }

Sample Ratios(const Sample& a, const Sample& b) {
    Sample ratio;
    for (size_t i = 0; i < a.values.size() && i < b.values.size(); ++i)
        if (b.values[i] > 0) ratio.Add(a.values[i] / b.values[i]);
    return ratio;
}

std::string Grouped(long n) {
    std::string text = std::to_string(n), grouped;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i && (text.size() - i) % 3 == 0 && text[i - 1] != '-') grouped += ',';
        grouped += text[i];
    }
    return grouped;
}

void Repeat(int most, double budget, const std::function<void()>& body) {
    const double start = Now();
    for (int i = 0; i < most; ++i) {
        body();
        if (Now() - start > budget) break;
    }
}

Figure& Table::Add(Figure figure) {
    if (figure.ratio.Empty() && !figure.floor.Empty()) figure.ratio = Ratios(figure.library, figure.floor);
    figures_.push_back(std::move(figure));
    std::fputs(".", stderr);  // progress
    return figures_.back();
}

namespace {
std::string Number(double value) {
    char text[32];
    if (std::isnan(value)) return "-";
    const double magnitude = std::fabs(value);
    std::snprintf(text, sizeof text, magnitude >= 100 ? "%.0f" : magnitude >= 10 ? "%.1f" : magnitude >= 1 ? "%.2f" : "%.3f",
                  value);
    return text;
}

std::string Spread(const Sample& s, const std::string& unit) {
    if (s.Empty()) return "-";
    return Number(s.Median()) + " " + unit + " [" + Number(s.Min()) + ".." + Number(s.Max()) + "]";
}

std::string Verdict(const Figure& f) {
    if (f.target.maxRatio == 0 && f.target.maxLibrary == 0) return "";
    bool met = true;
    if (f.target.maxRatio > 0) met = met && !f.ratio.Empty() && f.ratio.Median() <= f.target.maxRatio;
    if (f.target.maxLibrary > 0) met = met && f.library.Median() <= f.target.maxLibrary;
    return met ? "met" : "NOT MET";
}
}  // namespace

std::string Table::Render() const {
    std::ostringstream out;
    out << "### " << title_ << "\n\n";
    out << "| Figure | Library | Floor | Ratio | Target | |\n";
    out << "|---|---|---|---|---|---|\n";
    for (const Figure& f : figures_) {
        std::string floor = Spread(f.floor, f.unit);
        if (!f.floorName.empty()) floor += " (" + f.floorName + ")";
        std::string ratio = f.ratio.Empty() ? "-" : Number(f.ratio.Median()) + "x [" + Number(f.ratio.Min()) + ".." +
                                                        Number(f.ratio.Max()) + "]";
        out << "| " << f.name << " | " << Spread(f.library, f.unit) << " | " << floor << " | " << ratio << " | "
            << f.target.text << " | " << Verdict(f) << " |\n";
    }
    return out.str();
}

bool Table::WriteTargets(const std::wstring& path) const {
    if (path.empty()) return true;
    std::string text;
    for (const Figure& f : figures_) {
        const std::string verdict = Verdict(f);
        if (verdict.empty()) continue;
        // What the target judges: the library's own figure, or the ratio.
        const std::string judged = f.target.maxLibrary > 0 ? Number(f.library.Median()) + " " + f.unit
                                   : f.ratio.Empty()      ? std::string("-")
                                                          : Number(f.ratio.Median()) + "x";
        text += f.name + "\t" + judged + "\t" + f.target.text + "\t" + verdict + "\n";
    }
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

bool Table::Write(const std::wstring& path) const {
    const std::string text = Render();
    std::fputs("\n", stderr);
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    if (path.empty()) return true;
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace bench
